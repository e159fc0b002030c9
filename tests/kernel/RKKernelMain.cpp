// Each ctest entry selects one guest's scenarios by filter: a filter that
// selects nothing is an error, never a pass.
#include <gtest/gtest.h>

#include <cstdio>

int main(int nArgs, char** aszArgs)
{
    testing::InitGoogleTest(&nArgs, aszArgs);
    int nResult = RUN_ALL_TESTS();
    if (testing::UnitTest::GetInstance()->test_to_run_count() == 0 && !testing::GTEST_FLAG(list_tests))
    {
        std::fprintf(stderr, "no test selected\n");
        return 1;
    }
    return nResult;
}
