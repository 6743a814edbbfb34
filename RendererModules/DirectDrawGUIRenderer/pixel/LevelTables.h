// The choice of one kind of kernel table, once per process: the table of
// every level this processor and this build offer, each empty entry taken
// from the first table down its fallback chain that has it, and the level in
// use. The blend and the upload kernels both choose theirs this way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixel/CpuFeatures.h"

namespace ZorvUISystem {

// The highest level this build has tables for.
constexpr KernelLevel kBuiltKernelLevel =
#if defined(ZIV_X86_KERNELS)
    KernelLevel::Avx512;
#else
    KernelLevel::None;
#endif

// One entry (entry(table) reads it) of a declared table, or of the first
// table down its fallback chain that has it; the portable table at the
// bottom has them all.
template <class Table, class Entry>
auto entryFromChain(const Table& declared, const Entry& entry) -> decltype(entry(declared))
{
    const Table* t = &declared;
    while (entry(*t) == nullptr && t->fallback != nullptr)
        t = t->fallback;
    return entry(*t);
}

template <class Table> struct LevelTables {
    KernelLevel usable;              // highest level both processor and build offer
    KernelLevel active;              // the level in use
    Table tables[kKernelLevelCount]; // resolved, valid up to usable

    const Table& activeTable() const { return tables[static_cast<uint32_t>(active)]; }

    // Null when this processor or this build lacks the level.
    const Table* tableFor(KernelLevel level) const
    {
        return level > usable ? nullptr : &tables[static_cast<uint32_t>(level)];
    }
};

// declared holds the tables as each built level defines them, portable
// first; chooseActive(usable) gives the level in use, never above usable;
// resolve(table) gives a table with every entry filled.
template <class Table, size_t BuiltCount, class ChooseActive, class Resolve>
LevelTables<Table> chooseLevelTables(const Table* const (&declared)[BuiltCount], const ChooseActive& chooseActive,
                                     const Resolve& resolve)
{
    static_assert(BuiltCount == static_cast<size_t>(kBuiltKernelLevel) + 1, "one declared table per built level");
    LevelTables<Table> set{};
    const KernelLevel cpu = highestCpuKernelLevel();
    set.usable = cpu < kBuiltKernelLevel ? cpu : kBuiltKernelLevel;
    set.active = chooseActive(set.usable);
    for (uint32_t i = 0; i <= static_cast<uint32_t>(set.usable); ++i)
        set.tables[i] = resolve(*declared[i]);
    return set;
}

} // namespace ZorvUISystem
