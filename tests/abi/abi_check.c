/* Compiles the public header as plain C and checks the layout of the records that cross the interface.
 * Built once as C99 (where the header's own static checks are not available) and once as C11. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "qxPropHandling.h"

static int failures = 0;

static void expect(size_t got, size_t want, const char* what) {
    if (got != want) {
        fprintf(stderr, "%s: got %zu, want %zu\n", what, got, want);
        ++failures;
    }
}

int main(void) {
    CallParam p;
    ValBuffer b;
    expect(sizeof(HOBJ), 4, "sizeof(HOBJ)");
    expect(sizeof(HCALLBACK), 8, "sizeof(HCALLBACK)");
    expect(sizeof(qxValue), 8, "sizeof(qxValue)");
    expect(sizeof(CallParam), 16, "sizeof(CallParam)");
    expect(offsetof(CallParam, type), 0, "CallParam.type");
    expect(offsetof(CallParam, reserved), 4, "CallParam.reserved");
    expect(offsetof(CallParam, value), 8, "CallParam.value");
    expect(sizeof(ValBuffer), 24, "sizeof(ValBuffer)");
    expect(offsetof(ValBuffer, valType), 0, "ValBuffer.valType");
    expect(offsetof(ValBuffer, count), 8, "ValBuffer.count");
    expect(offsetof(ValBuffer, pSlots), 16, "ValBuffer.pSlots");

    /* An Int32 lives in the low half of its slot on this little-endian machine. */
    memset(&p, 0, sizeof p);
    p.value.i32 = -2;
    expect((size_t)(p.value.bits & 0xFFFFFFFFu), 0xFFFFFFFEu, "Int32 in the low half");
    expect((size_t)(p.value.bits >> 32), 0, "high half untouched");
    b.count = 1;
    b.pSlots = &p.value;
    expect((size_t)b.pSlots->i32 == (size_t)-2, 1, "slot through ValBuffer");

    /* Linking works from C, and a function that needs nothing answers. */
    if (strcmp(qxPropHandlingErrorCodeToString(PROPHANDLING_LIST_ID_INVALID), "PROPHANDLING_LIST_ID_INVALID") != 0) {
        fprintf(stderr, "error-code name through C\n");
        ++failures;
    }
    if (failures == 0) printf("C ABI checks passed\n");
    return failures == 0 ? 0 : 1;
}
