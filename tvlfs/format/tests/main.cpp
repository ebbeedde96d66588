#include <gtest/gtest.h>

#include "openssl.h"

int main(int argc, char** argv) {
    openssl_init(true);
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    openssl_shutdown(true);
    return status;
}
