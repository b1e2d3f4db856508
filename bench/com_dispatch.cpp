// Costs of the COM runtime on the paths the album program takes: creating
// an object by ProgID (a registry read, the module already loaded) and
// late-bound calls by name and by a known DISPID.
//
// Build and run with bench/com_dispatch.sh after scripts/build.sh.
#include "platform/com/creation.h"
#include "platform/com/dispatch_call.h"
#include "platform/com/registry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace platform::com;
using Clock = std::chrono::steady_clock;

template <class F>
double perCall(int count, F f) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) f();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / count;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: com_dispatch libcom_test_module.so\n");
        return 2;
    }
    const auto registry = std::filesystem::temp_directory_path() / "mirofoto-bench-registry.ini";
    ::setenv("MIROFOTO_REGISTRY", registry.c_str(), 1);
    if (FAILED(registerServer(argv[1], false))) return 1;

    ComPtr<IDispatch> keep;  // keeps the module loaded, as the program's control does
    createObject("MirofotoTest.Calc", keep);
    const double create = perCall(2000, [] {
        ComPtr<IDispatch> o;
        createObject("MirofotoTest.Calc", o);
    });
    const Variant a("IMG_0001.JPG"), b("2026:01:01 10:00:00"), n(3);
    const double byName = perCall(200000, [&] {
        Variant r;
        callMethod(keep.get(), "Join", {a, b, n}, &r);
    });
    DISPID id;
    dispIdOf(keep.get(), "Join", &id);
    VARIANT args[3] = {n, b, a};
    DISPPARAMS params{args, nullptr, 3, 0};
    const double byId = perCall(200000, [&] {
        Variant r;
        keep->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &r, nullptr, nullptr);
    });
    std::printf("create by ProgID:   %8.2f us\n", create);
    std::printf("call by name:       %8.2f us (GetIDsOfNames + Invoke)\n", byName);
    std::printf("call by DISPID:     %8.2f us\n", byId);
    keep.reset();
    std::filesystem::remove(registry);
    return 0;
}
