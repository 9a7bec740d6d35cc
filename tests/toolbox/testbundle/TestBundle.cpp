// A bundle for the window tests: its library only has to be loaded for the toolbox to know
// the bundle and its window descriptions.
extern "C" __attribute__((visibility("default"))) int TestBundleLoaded() {
    return 1;
}
