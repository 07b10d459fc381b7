#include "state/Session.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace kven {
namespace {

using Heard = std::vector<Session::Changes>;

Session::Subscription recordInto(const Session& session, Heard& heard)
{
    return session.subscribe([&heard](Session::Changes changes) { heard.push_back(changes); });
}

TEST(Session, EverySubscriberHearsEachChangeOnceWhileSubscribed)
{
    Session session;
    Heard first;
    Heard second;
    Session::Subscription one = recordInto(session, first);
    std::optional<Session::Subscription> two = recordInto(session, second);

    Document book;
    book.text = "text";
    book.caption = "KVEN book.txt";
    session.load(book);
    const Session::Changes loaded = Session::documentChanged | Session::textChanged | Session::selectionChanged;
    EXPECT_EQ(first, Heard{loaded | Session::captionChanged});
    EXPECT_EQ(second, first);
    // The same caption again is no new caption.
    session.load(book);
    EXPECT_EQ(first.back(), loaded);

    // The reading flag is told when it changes, not when it is set again.
    session.setReading(true);
    session.setReading(true);
    session.setReading(false);
    EXPECT_EQ(Heard(first.end() - 2, first.end()), (Heard{Session::readingChanged, Session::readingChanged}));

    two.reset();
    session.setOption(&ReadingOptions::silentNotes, true);
    EXPECT_EQ(first.back(), Session::optionsChanged);
    EXPECT_EQ(second.size(), 4u) << "an ended subscription hears nothing";
}

TEST(Session, ASubscriberMayEndItsOwnOrAnotherSubscriptionWhileItHears)
{
    Session session;
    Heard later;
    Session::Subscription second;
    Session::Subscription first = session.subscribe([&](Session::Changes) { second = Session::Subscription(); });
    second = recordInto(session, later);
    session.setSpeed(3);
    EXPECT_TRUE(later.empty()) << "ended before its turn";
    // A subscription may outlive its session.
    std::optional<Session> gone(std::in_place);
    Session::Subscription orphan = gone->subscribe([](Session::Changes) {});
    gone.reset();
}

TEST(Session, CopiesAndAssignmentsCarryTheValuesNotTheSubscribers)
{
    Session session;
    Heard heard;
    const Session::Subscription subscription = recordInto(session, heard);
    session.setSpeed(4);
    Session copy = session;
    copy.setSpeed(5);
    EXPECT_EQ(heard.size(), 1u) << "the copy has no subscribers";
    EXPECT_EQ(copy.speed(), 5);

    session = copy;
    EXPECT_EQ(session.speed(), 5);
    EXPECT_EQ(heard.back(), Session::kEverything) << "assignment replaces every part";
    session = Session();
    EXPECT_EQ(session.speed(), 0);
    session.setSpeed(1);
    EXPECT_EQ(heard.back(), Session::speedChanged) << "the subscriber stays with the session assigned to";
}

} // namespace
} // namespace kven
