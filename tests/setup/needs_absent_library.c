/* Needs libsetup_test_absent.so, which is in no folder the loader searches. */
int setupTestAbsent(void);

int main(void)
{
    return setupTestAbsent();
}
