// A module for the module opener's tests: one table of this program's build
// and one of another.
struct LoadedModuleTestTable {
    int version;
    int (*answer)();
};

namespace {
int answer() { return 42; }
const LoadedModuleTestTable current { 1, answer };
const LoadedModuleTestTable another { 0, answer };
} // namespace

extern "C" __attribute__((visibility("default"))) const LoadedModuleTestTable* orbLoadedModuleTest()
{
    return &current;
}
extern "C" __attribute__((visibility("default"))) const LoadedModuleTestTable* orbLoadedModuleTestOfAnotherBuild()
{
    return &another;
}
