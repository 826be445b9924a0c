// The query/set base on a small member of its own: three subcodes of code 0x24 per request,
// one flag per subcode, answers that may come late, a Set sent as a paced script. Driven
// through the real link with a scripted receiver on a pseudo-terminal.
#include "console/query_set_form.h"
#include "link/catalogue.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"

#include <gtest/gtest.h>

using vxtest::ConsoleRig;
using vxtest::pumpUntil;

namespace {

constexpr uint8_t kCode = 0x24;

class ExampleForm : public QuerySetForm {
public:
    explicit ExampleForm(Console& console, int timeoutMs = kDefaultTimeoutMs)
        : QuerySetForm(console, vx::WindowId::TmaskForm, nullptr, timeoutMs) {
        queryLED = new Lamp(this, kLedSize);
        setLED = new Lamp(this, kLedSize);
        query = &addRequest(queryLED, Request::KeepOnExpiry);
        set = &addRequest(setLED, Request::KeepOnExpiry);
        onReply<vx::GpsConfigRecord>([this](const vx::GpsConfigRecord&, const vx::Routed& at) {
            replies.push_back(at.subcode);
            query->answer(at.subcode);
        });
        onQueryAck([this](const vx::AckRecord& a) {
            if (a.result) query->reject();
        });
        onSetAck([this](const vx::AckRecord& a) {
            if (a.result == 0)
                set->answer(a.acked_subcode);
            else
                set->reject();
        });
    }
    void queryButtonClick() {
        beginRequest(*query, Keys::range(1, 3), {set});
        sendScript(vx::queryRangeScript(kCode, 3));
    }
    void setButtonClick() {
        beginRequest(*set, Keys::range(1, 3), {query});
        vx::PacedScript script;
        for (uint8_t s = 1; s <= 3; ++s)
            script.push_back({vx::CommandFrame(vx::kCmdSet, kCode, s).byte(s).toBytes(), 50});
        sendScript(std::move(script));
    }
    int shows = 0;
    std::vector<uint8_t> replies;
    Lamp* queryLED;
    Lamp* setLED;
    Request* query;
    Request* set;

protected:
    void FormShow() override {
        ++shows;
        queryButtonClick();
    }
};

constexpr const char* kQueries = "81 02 24 01 D6 82 81 02 24 02 D5 82 81 02 24 03 D4 82";

TEST(QuerySetForm, MultiSubcodeRequestTurnsGreenWhenEveryKeyIsAnsweredEvenLate) {
    ConsoleRig rig;
    ExampleForm form(rig.console);
    ASSERT_TRUE(rig.start());
    form.show();
    EXPECT_EQ(form.shows, 1);
    EXPECT_EQ(rig.sentHex(18), kQueries);
    EXPECT_EQ(form.query->pendingCount(), 3u);

    rig.receive(kCode, 0x03, {0x11});
    rig.receive(kCode, 0x01, {0x00});
    ASSERT_TRUE(rig.waitDelivered(2));
    EXPECT_EQ(form.replies, (std::vector<uint8_t>{3, 1}));
    EXPECT_EQ(form.queryLED->colour(), lamp::kWhite);
    EXPECT_TRUE(form.query->pending(2));

    // Time-out (shortened rather than waited out): red, and subcode 2 stays pending.
    form.responseTimer()->setInterval(10);
    form.responseTimer()->start();
    ASSERT_TRUE(pumpUntil([&] { return form.queryLED->colour() == lamp::kRed; }));
    EXPECT_TRUE(form.query->pending(2));
    EXPECT_FALSE(form.responseTimer()->isActive());
    rig.receive(kCode, 0x02, {0x01});
    ASSERT_TRUE(rig.waitDelivered(3));
    EXPECT_EQ(form.queryLED->colour(), lamp::kGreen);
    EXPECT_FALSE(form.query->pending());

    // Showing an already visible window does not query again; showing it anew does.
    form.show();
    EXPECT_EQ(form.shows, 1);
    form.hide();
    form.show();
    EXPECT_EQ(form.shows, 2);
    EXPECT_EQ(rig.sentHex(18), kQueries);
}

TEST(QuerySetForm, RefusedSubcodeKeepsTheLedRed) {
    ConsoleRig rig;
    ExampleForm form(rig.console);
    ASSERT_TRUE(rig.start());
    form.show();
    EXPECT_EQ(rig.sentHex(18), kQueries);
    form.setButtonClick();
    EXPECT_EQ(form.queryLED->colour(), lamp::kWhite);
    EXPECT_FALSE(form.query->pending());
    vxtest::endPacedPauses(form);
    rig.sentHex(21);
    rig.ack(vx::kCmdSet, {kCode, 0x01, 0x00});
    rig.ack(vx::kCmdSet, {kCode, 0x02, 0x05});
    rig.ack(vx::kCmdSet, {kCode, 0x03, 0x00});
    ASSERT_TRUE(rig.waitDelivered(3));
    EXPECT_EQ(form.setLED->colour(), lamp::kRed);
    EXPECT_EQ(form.set->pendingCount(), 1u);
    form.responseTimerTimer();
    EXPECT_EQ(form.setLED->colour(), lamp::kRed);
    // A refused Query paints the query LED only.
    form.queryButtonClick();
    rig.ack(vx::kCmdQuery, {kCode, 0x01, 0x03});
    ASSERT_TRUE(rig.waitDelivered(4));
    EXPECT_EQ(form.queryLED->colour(), lamp::kRed);
    EXPECT_EQ(form.setLED->colour(), lamp::kWhite);
}

TEST(QuerySetForm, PacedScriptRunsFromTimersAndLaterFramesWaitBehindIt) {
    ConsoleRig rig;
    ExampleForm form(rig.console);
    ASSERT_TRUE(rig.start());
    form.setButtonClick();
    // The first frame goes out at once; the window returns to the event loop for the pause.
    EXPECT_EQ(rig.sentHex(7), "81 01 24 01 01 D6 82");
    EXPECT_EQ(rig.sentNowHex(), "");
    EXPECT_TRUE(form.sending());
    // A Query clicked meanwhile goes out after the Set's last frame and its pause.
    form.queryButtonClick();
    EXPECT_EQ(rig.sentNowHex(), "");
    // Two 50 ms pauses, and the one after the last frame of the Set.
    EXPECT_EQ(vxtest::endPacedPauses(form), (std::vector<int>{50, 50, 50}));
    EXPECT_EQ(rig.sentHex(14 + 18),
              std::string("81 01 24 02 02 D4 82 81 01 24 03 03 D2 82 ") + kQueries);
}

TEST(QuerySetForm, OneTimerJudgesEveryRequestOfTheWindow) {
    ConsoleRig rig;
    ExampleForm form(rig.console, 3000);
    EXPECT_EQ(form.responseTimer()->interval(), 3000);
    EXPECT_TRUE(form.responseTimer()->isSingleShot());
    // Two groups that do not supersede each other: the first answered, the second not.
    form.query->start(Keys::one(4));
    EXPECT_TRUE(form.query->answer(4));
    EXPECT_EQ(form.queryLED->colour(), lamp::kGreen);
    form.set->start(Keys{1, 7});
    EXPECT_EQ(form.set->pendingCount(), 2u);
    form.responseTimerTimer();
    EXPECT_EQ(form.queryLED->colour(), lamp::kGreen);
    EXPECT_EQ(form.setLED->colour(), lamp::kRed);
    // finish and cancel end a request at once.
    form.set->finish(true);
    EXPECT_EQ(form.setLED->colour(), lamp::kGreen);
    EXPECT_FALSE(form.set->pending());
    form.set->start();
    form.set->cancel();
    EXPECT_EQ(form.setLED->colour(), lamp::kWhite);
    form.responseTimerTimer();
    EXPECT_EQ(form.setLED->colour(), lamp::kWhite);
}

TEST(QuerySetForm, ClearOnExpiryEndsTheRequest) {
    Request r(nullptr, Request::ClearOnExpiry);
    r.start(Keys::range(1, 8));
    EXPECT_TRUE(r.expire());
    EXPECT_FALSE(r.pending());
    EXPECT_FALSE(r.expire());
    Request k(nullptr, Request::KeepOnExpiry);
    k.start(Keys::range(0x40, 0x4F));
    EXPECT_EQ(k.pendingCount(), 16u);
    EXPECT_TRUE(k.expire());
    EXPECT_EQ(k.pendingCount(), 16u);
}

TEST(QuerySetForm, DestroyedWindowNoLongerReceives) {
    ConsoleRig rig;
    {
        ExampleForm form(rig.console);
        EXPECT_EQ(rig.console.window(vx::WindowId::TmaskForm), &form);
        EXPECT_NE(rig.console.handlers().find(vx::WindowId::TmaskForm, vx::HandlerRole::Reply),
                  nullptr);
    }
    EXPECT_EQ(rig.console.window(vx::WindowId::TmaskForm), nullptr);
    EXPECT_EQ(rig.console.handlers().find(vx::WindowId::TmaskForm, vx::HandlerRole::Reply),
              nullptr);
}

} // namespace
