/* A stand-in toolkit that exports only two of the names the recorder binds, for the tests of a
   toolkit that lacks entries. */
__attribute__((visibility("default"))) int MakeFolder(const char* path)
{
    return path != 0;
}

__attribute__((visibility("default"))) unsigned MIN(unsigned a, unsigned b)
{
    return a < b ? a : b;
}
