/* The smallest Windows program: it only returns. Its resources are what the tests read. */
int start(void) { return 0; }
