// Whatever a command raises reaches the host as an error code.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "filter/ErrorConversion.h"
#include "share/AEUtil/AEException.h"

TEST(ErrorConversion, EachKindOfFailureBecomesItsCode) {
    EXPECT_EQ(ConvertExceptions([]() -> PF_Err { return 7; }), 7);
    EXPECT_EQ(ConvertExceptions([]() -> PF_Err { throw AEUtil::AEException(513, "f.cpp", 3, "x"); }), 513);
    EXPECT_EQ(ConvertExceptions([]() -> PF_Err { throw AEUtil::Win32Exception(5, "f.cpp", 3, "x"); }),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(ConvertExceptions([]() -> PF_Err { throw std::length_error("vector"); }),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(ConvertExceptions([]() -> PF_Err { throw std::bad_alloc(); }), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(ConvertExceptions([]() -> PF_Err { AEUtil::ThrowSuiteFailure(); }), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(ConvertExceptions([]() -> PF_Err { throw 3.5; }), PF_Err_INTERNAL_STRUCT_DAMAGED);
}

TEST(AEException, MessageStartsWithFileAndLineAndIsBounded) {
    AEUtil::AEException e(514, ".\\share\\AEUtil\\AEWorldSuite", 151, "%s(%d)", "newWorld", 4);
    EXPECT_EQ(e.Error(), 514);
    EXPECT_STREQ(e.what(), ".\\share\\AEUtil\\AEWorldSuite(151): newWorld(4)");

    const std::string longText(5000, 'x');
    AEUtil::AEException big(1, longText.c_str(), 1, "%s", longText.c_str());
    EXPECT_EQ(std::string(big.what()).size(), 2048u + 2048u) << "each half is cut at 2048 characters";
}
