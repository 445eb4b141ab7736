#pragma once

#include <map>
#include <memory>
#include <vector>

// The hand-over of objects built inside an operation to a caller that takes raw owning pointers.
// An operation holds what it makes in unique_ptrs, so that a throw anywhere frees everything, and
// hands the objects over only once nothing more can fail.
class TOwnership {
public:
    TOwnership() = delete;

    // The objects in the same order, now the caller's; the owners are left empty. The list is
    // allocated before the first release, so a failed allocation leaves every object owned.
    template <class T>
    static std::vector<T*> ReleaseAll(std::vector<std::unique_ptr<T>>& VecOwners)
    {
        std::vector<T*> released;
        released.reserve(VecOwners.size());
        for (std::unique_ptr<T>& owner : VecOwners) released.push_back(owner.release());
        return released;
    }

    // The same for a keyed table: the table of raw pointers is built in full before the first
    // release.
    template <class TKey, class T>
    static std::map<TKey, T*> ReleaseAll(std::map<TKey, std::unique_ptr<T>>& MapOwners)
    {
        std::map<TKey, T*> released;
        for (auto& entry : MapOwners) released.emplace_hint(released.end(), entry.first, entry.second.get());
        for (auto& entry : MapOwners) entry.second.release();
        return released;
    }
};
