// A dependency of the test module, kept in a folder of its own.
extern "C" __declspec(dllexport) int QelTestDependencyValue() { return 42; }
