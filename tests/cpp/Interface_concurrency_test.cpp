// The C++ interface across threads: an exception thrown by callback code is kept for the thread whose
// call ran the callback, and the check on every other thread's calls stays a plain load while it waits.
// Built into the concurrency tests, so the ThreadSanitizer build runs it too.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include "qxPropHandling.hpp"

namespace {

// One reference for the whole program: the last release would destroy the tree between tests.
qx::Library g_library;

// Only the thread whose callback threw is told, by its own next wrapper call; other threads' calls go on
// while it holds the exception, and a thread that ends holding one leaves the others' fast path clean.
TEST(CppInterfaceThreads, ACallbacksExceptionBelongsToTheThreadThatRanIt) {
    const qx::List list = qx::List::create("camera");
    const qx::Property gain = list.addProperty<int>("gain");
    qx::Callback write = qx::Callback::onWrite([](const qx::Event& e) -> bool {
        if (e.value<int>() == 13) throw std::logic_error("unlucky value");
        return true;
    });
    write.attach(gain);
    const auto plainCWriteOf13 = [&] {
        qxValue slot;
        slot.i64 = 13;
        const ValBuffer b{QX_VT_INT32, 1, &slot};
        return qxPropSetVal(gain.handle(), &b, 0, QX_SETVAL_VALUES, nullptr, 0, 0);
    };

    std::atomic<int> step{0};
    std::string seenByOwner;
    std::thread owner([&] {
        EXPECT_EQ(plainCWriteOf13(), PROPHANDLING_PROP_VALIDATION_FAILED); // the exception is kept, not thrown
        step = 1;
        while (step != 2) std::this_thread::yield();
        try {
            gain.get<int>();
        } catch (const std::logic_error& e) {
            seenByOwner = e.what();
        }
    });
    while (step != 1) std::this_thread::yield();
    EXPECT_EQ(qx::detail::g_threadsWithPending.load(), 1u);
    gain.set(12); // this thread holds nothing: its calls succeed while the other thread's exception waits
    EXPECT_EQ(gain.get<int>(), 12);
    step = 2;
    owner.join();
    EXPECT_EQ(seenByOwner, "unlucky value");
    EXPECT_EQ(qx::detail::g_threadsWithPending.load(), 0u);

    std::thread quitter([&] { EXPECT_EQ(plainCWriteOf13(), PROPHANDLING_PROP_VALIDATION_FAILED); });
    quitter.join(); // ends without another wrapper call
    EXPECT_EQ(qx::detail::g_threadsWithPending.load(), 0u) << "a thread that ended still counts as holding one";
    EXPECT_EQ(gain.get<int>(), 12);
}

} // namespace
