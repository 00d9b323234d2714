/* Loads the library with dlopen, drives its reference count through the function pointers a plugin host
 * would use, and unloads it with dlclose, twice over. Built without linking the library, so the load and
 * unload are real; under AddressSanitizer a leak or a use after unload fails the run. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

typedef int (*CountFn)(void);
typedef int (*LockFn)(unsigned int);
typedef int (*UnlockFn)(void);
typedef int (*SetErrFn)(int, const char*);
typedef int (*GetErrFn)(int*, char*, size_t*);

static int failures = 0;

static void expect(int got, int want, const char* what) {
    if (got != want) {
        fprintf(stderr, "%s: got %d, want %d\n", what, got, want);
        ++failures;
    }
}

static void oneLoad(const char* path) {
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "dlopen: %s\n", dlerror());
        ++failures;
        return;
    }
    CountFn init = (CountFn)dlsym(lib, "qxPropHandlingLibInit");
    CountFn done = (CountFn)dlsym(lib, "qxPropHandlingLibDone");
    LockFn lock = (LockFn)dlsym(lib, "qxGlobalLock");
    UnlockFn unlock = (UnlockFn)dlsym(lib, "qxGlobalUnlock");
    SetErrFn setErr = (SetErrFn)dlsym(lib, "qxPropHandlingSetLastError");
    GetErrFn getErr = (GetErrFn)dlsym(lib, "qxPropHandlingGetLastError");
    if (!init || !done || !lock || !unlock || !setErr || !getErr) {
        fprintf(stderr, "dlsym failed\n");
        ++failures;
        dlclose(lib);
        return;
    }
    expect(init(), 2, "init right after load");
    expect(done(), 1, "first done");
    expect(lock(0), 1, "global lock while initialised");
    expect(unlock(), 1, "global unlock");
    expect(setErr(-2019, "set before the last done"), 0, "set last error");
    expect(done(), 0, "second done tears down");
    expect(done(), 0, "third done is a no-op");
    {
        int code = 1;
        char text[32];
        size_t size = sizeof text;
        expect(getErr(&code, text, &size), 0, "get last error after teardown");
        expect(code, 0, "teardown reset the last-error code");
        expect(strcmp(text, "No error"), 0, "teardown reset the last-error text");
    }
    expect(init(), 1, "init after teardown");
    /* Leave the count at 1: the unload's own done must tear down what this init made. */
    if (dlclose(lib) != 0) {
        fprintf(stderr, "dlclose: %s\n", dlerror());
        ++failures;
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
        return 2;
    }
    oneLoad(argv[1]);
    oneLoad(argv[1]);
    if (failures == 0) printf("dlopen/dlclose: 2 loads, all checks passed\n");
    return failures == 0 ? 0 : 1;
}
