/* A minimal program of a library user: built against the installed tree only. */
#include <stdio.h>
#include <string.h>

#include <qxPropHandling.h>

int main(void) {
    const char* name = qxPropHandlingErrorCodeToString(PROPHANDLING_NOT_A_LIST);
    int count = qxPropHandlingLibInit();
    qxPropHandlingLibDone();
    printf("%s %d\n", name, count);
    return strcmp(name, "PROPHANDLING_NOT_A_LIST") == 0 && count == 2 ? 0 : 1;
}
