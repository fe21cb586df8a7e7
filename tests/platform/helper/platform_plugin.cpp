// A loadable library for the library tests.
extern "C" int platform_plugin_add(int a, int b) { return a + b; }
