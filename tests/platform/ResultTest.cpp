// The one result type every widget-free operation reports through.

#include "platform/Result.h"
#include "platform/fake/FakePlatform.h"

#include <gtest/gtest.h>

using namespace tolvan;

namespace {

Result<int> half(int n)
{
    if (n % 2 != 0) {
        return {Fail(QStringLiteral("%1 is odd.").arg(n)), n / 2};
    }
    return n / 2;
}

Result<> passOn(int n)
{
    const auto r = half(n);
    if (!r.ok()) {
        return r.failure();
    }
    return {};
}

} // namespace

TEST(Result, DefaultIsSuccessAndFailuresKeepTextBoxAndPartialValue)
{
    const Result<> done;
    EXPECT_TRUE(done.ok());
    EXPECT_TRUE(done.error().isEmpty());
    EXPECT_FALSE(done.box().has_value());

    const Result<QString> empty;
    EXPECT_TRUE(empty.ok());

    const auto even = half(8);
    ASSERT_TRUE(even.ok());
    EXPECT_EQ(even.value(), 4);

    const auto odd = half(7);
    EXPECT_FALSE(odd.ok());
    EXPECT_EQ(odd.error(), QStringLiteral("7 is odd."));
    EXPECT_EQ(odd.value(), 3); // what was made before the fault
    EXPECT_FALSE(odd.box().has_value());

    const Result<> passed = passOn(7);
    EXPECT_FALSE(passed.ok());
    EXPECT_EQ(passed.error(), QStringLiteral("7 is odd."));
    EXPECT_TRUE(passOn(2).ok());

    const Result<> boxed =
        Fail(MessageBoxRequest{QStringLiteral("Disk full."), QStringLiteral("PMBA"), MsgIcon::Exclamation});
    EXPECT_EQ(boxed.error(), QStringLiteral("Disk full."));
    ASSERT_TRUE(boxed.box().has_value());
    EXPECT_EQ(boxed.box()->title, QStringLiteral("PMBA"));
}

TEST(Result, ShowFailureShowsOnlyFailuresInTheirOwnBoxOrTheCallersOne)
{
    FakeDialogs dialogs;
    EXPECT_TRUE(ShowFailure(dialogs, Result<>(), QStringLiteral("Mail")));
    EXPECT_TRUE(dialogs.boxes.isEmpty());

    EXPECT_FALSE(ShowFailure(dialogs, half(3), QStringLiteral("Mail")));
    EXPECT_FALSE(ShowFailure(
        dialogs,
        Result<>(Fail(MessageBoxRequest{QStringLiteral("Own."), QStringLiteral("PMBA"), MsgIcon::Information})),
        QStringLiteral("Mail")));
    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("3 is odd."));
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Mail"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_EQ(dialogs.boxes[1].title, QStringLiteral("PMBA"));
    EXPECT_EQ(dialogs.boxes[1].icon, MsgIcon::Information);
}
