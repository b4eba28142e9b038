// Corvane's entry point: the host calls it once after loading the library.
extern "C" __attribute__((visibility("default"))) void REALPluginMain(void* /*resolver*/) {}
