/* A library the test program is linked with and the loader is never told where to find. */
int setupTestAbsent(void)
{
    return 1;
}
