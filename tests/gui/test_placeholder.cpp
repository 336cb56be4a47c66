#include <gtest/gtest.h>

#include "netclient/nwclient.h"

TEST(ClientPointer, IsSwappedByTests)
{
    NwClient* before = nwClient();
    setNwClient(nullptr);
    EXPECT_EQ(nwClient(), nullptr);
    setNwClient(before);
}
