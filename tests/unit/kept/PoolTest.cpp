#include "base/NodePool.h"

#include <memory>

#include "KeptTestSupport.h"

using namespace base;
using namespace kept;

namespace {

// A type of its own, so its pool starts empty whatever the other tests did.
struct Probe : PoolAllocated<Probe> {
    char payload[40];
};

struct BiggerProbe : Probe {
    char more[100];
};

TEST(NodePool, DrawsABlockPer256ObjectsReusesTheLastFreedAndLetsDerivedTypesBypassIt) {
    std::vector<std::unique_ptr<Probe>> probes;
    for (int i = 0; i < 256; ++i) {
        probes.emplace_back(new Probe);
    }
    EXPECT_EQ(NodePool<Probe>::blockCount(), 1u);
    probes.emplace_back(new Probe);
    EXPECT_EQ(NodePool<Probe>::blockCount(), 2u);

    Probe* freed = probes[100].get();
    probes[100].reset();
    probes[100].reset(new Probe);
    EXPECT_EQ(probes[100].get(), freed);

    auto bigger = std::make_unique<BiggerProbe>();
    bigger->more[99] = 'x';  // would run past a Probe-sized slot
    EXPECT_EQ(NodePool<Probe>::blockCount(), 2u);
}

TEST(NodePool, ListsGiveTheirElementsBackWhenClearedOrDestroyed) {
    CList<CString256> list;
    for (int i = 0; i < 300; ++i) {
        list.append("x");
    }
    const std::size_t blocks = NodePool<elem<CString256>>::blockCount();
    list.clear();
    for (int i = 0; i < 300; ++i) {
        list.append("y");
    }
    EXPECT_EQ(NodePool<elem<CString256>>::blockCount(), blocks);

    const elem<CString256>* last = nullptr;
    {
        CList<CString256> scoped;
        scoped.append("kept until the end of scope");
        last = scoped.head;
    }
    list.append("reuses it");
    EXPECT_EQ(list.tail, last);
}

}  // namespace
