// A module that can load only where its dependency is found.
extern "C" __declspec(dllimport) int QelTestDependencyValue();

extern "C" __declspec(dllexport) int QelTestAnswer() { return QelTestDependencyValue(); }
