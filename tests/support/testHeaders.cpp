// The GoogleTest headers, precompiled once for every test program (see qvdTestHeaders).
