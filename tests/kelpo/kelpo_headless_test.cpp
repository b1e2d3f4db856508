// The Kelpo control in a host without a user interface.
#include "kelpo/kelpo.h"

#include "platform/com/creation.h"
#include "platform/com/dispatch_call.h"
#include "platform/com/registry.h"

#include <gtest/gtest.h>

using namespace platform::com;

TEST(KelpoWithoutWindows, VerShowFailsCleanlyWhenTheHostHasNoApplication) {
    {
        ComPtr<IDispatch> kelpo;
        ASSERT_EQ(createObject(kKelpoProgId, kelpo), S_OK) << registryPath();
        EXPECT_EQ(callMethod(kelpo.get(), "VerShow", {Variant("ミロフォト"), Variant("1.1")}), E_UNEXPECTED);
    }
    CoFreeUnusedLibraries();
    EXPECT_FALSE(isModuleLoaded(KELPO_MODULE));
}
