// bench/ValueBenchSetup.h -- the property the value benchmarks work on: one Int32 in a fresh list, with
// minimum, maximum and step set, so a write runs every check a real caller's write runs.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "qxPropHandling.h"

namespace qx::bench {

inline HOBJ limitedInt32Property() {
    HOBJ list = 0;
    HOBJ prop = QX_INDEX_APPEND;
    if (qxPropListCreate(&list, "bench", 0, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS) != 0 ||
        qxPropListRegisterProp(list, "gain", QX_CT_PROP_INT32, 1, QX_CF_READ_ACCESS | QX_CF_WRITE_ACCESS, nullptr,
                               &prop) != 0) {
        std::fprintf(stderr, "cannot set up the benchmark property\n");
        std::exit(1);
    }
    const int limits[][2] = {{QX_LIM_MINIMUM, -1000000}, {QX_LIM_MAXIMUM, 1000000}, {QX_LIM_STEP_WIDTH, 2}};
    for (const auto& limit : limits) {
        qxValue v{};
        v.i32 = limit[1];
        const ValBuffer b{QX_VT_INT32, 1, &v};
        if (qxPropSetVal(prop, &b, limit[0], QX_SETVAL_VALUES, nullptr, 0, 0) != 0) std::exit(1);
    }
    return prop;
}

} // namespace qx::bench
