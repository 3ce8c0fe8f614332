/* A library that loads but has no entry point: the binding must refuse it. */
int NotTheEngine(void) {
    return 0;
}
