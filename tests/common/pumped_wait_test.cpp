#include "common/pumped_wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "common/clock.h"
#include "common/stop.h"

namespace vidralo {
namespace {

using namespace std::chrono_literals;

TEST(PumpedWaitUnits, MultipliersOfEachUnit) {
  EXPECT_EQ(waitMilliseconds(5, 0), 5);
  EXPECT_EQ(waitMilliseconds(2, 1), 2000);
  EXPECT_EQ(waitMilliseconds(2, 2), 120000);
  EXPECT_EQ(waitMilliseconds(3, 3), 10800000);
  EXPECT_EQ(waitMilliseconds(3, 7), 21);
  EXPECT_EQ(waitMilliseconds(0.9, 1), 900);
  EXPECT_EQ(waitMilliseconds(1.5, 0), 1);  // truncated
}

// A message queue for one thread, as a window system would keep it.
class QueuePump final : public MessagePump {
 public:
  void post(std::function<void()> message) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(message));
    arrived_.notify_all();
  }
  void processEvents(std::chrono::milliseconds maxWait) override {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, maxWait, [this] { return !queue_.empty(); });
    while (!queue_.empty()) {
      auto message = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      message();
      lock.lock();
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::function<void()>> queue_;
};

class CompressedTime : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = setClock(std::make_shared<ScaledClock>(10000.0, std::chrono::system_clock::now()));
  }
  void TearDown() override { setClock(previous_); }
  std::shared_ptr<const Clock> previous_;
};

TEST_F(CompressedTime, HoursPassInCompressedTimeWithoutSleepingForReal) {
  const auto realStart = std::chrono::steady_clock::now();
  const std::int64_t tickStart = appClock().tickMs();
  EXPECT_TRUE(PumpedWait(1, 3));  // one hour at 10000x: 0.36 s of real time
  EXPECT_GE(appClock().tickMs() - tickStart, 3600000);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, 30s);
}

TEST_F(CompressedTime, MessagesArrivingDuringTheWaitAreDispatchedOnTheWaitingThread) {
  QueuePump pump;
  std::atomic<bool> dispatched{false};
  std::thread::id dispatchThread;
  std::thread waiter([&] {
    registerMessagePump(&pump);
    PumpedWait(2, 2);  // two minutes: 12 ms real
    registerMessagePump(nullptr);
  });
  const std::thread::id waiterId = waiter.get_id();
  pump.post([&] {
    dispatchThread = std::this_thread::get_id();
    dispatched = true;
  });
  waiter.join();
  EXPECT_TRUE(dispatched);
  EXPECT_EQ(dispatchThread, waiterId);
}

// The checks share the wait's one deadline: a whole wait checks at its start
// and at most once a slice (a busy machine may merge slices), and the first
// failed check ends it.
TEST_F(CompressedTime, ACheckedWaitChecksEachSliceAndEndsAtTheFirstFailedCheck) {
  int checks = 0;
  const std::int64_t tickStart = appClock().tickMs();
  EXPECT_TRUE(PumpedWaitChecking(60000, 10000, [&] { return ++checks > 0; }));
  EXPECT_GE(appClock().tickMs() - tickStart, 60000);
  EXPECT_GE(checks, 2);
  EXPECT_LE(checks, 7);

  checks = 0;
  EXPECT_FALSE(PumpedWaitChecking(60000, 10000, [&] { return ++checks < 3; }));
  EXPECT_EQ(checks, 3);
}

TEST(PumpedWaitStop, AStopRequestEndsTheWaitAtOnce) {
  std::stop_source source;
  std::atomic<bool> result{true};
  std::atomic<bool> finished{false};
  std::thread waiter([&] {
    StopScope scope(source.get_token());
    result = PumpedWait(10, 3);  // ten real hours unless stopped
    finished = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(finished);
  source.request_stop();
  waiter.join();
  EXPECT_FALSE(result);
}

TEST(PumpedWaitStop, AStoppedThreadDoesNotWaitAgain) {
  std::stop_source source;
  source.request_stop();
  StopScope scope(source.get_token());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(PumpedWait(1, 3));
  EXPECT_FALSE(PumpedWait(1, 3));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(PumpedWaitStop, APumpingThreadIsStoppedToo) {
  QueuePump pump;
  std::stop_source source;
  std::atomic<bool> finished{false};
  std::thread waiter([&] {
    registerMessagePump(&pump);
    StopScope scope(source.get_token());
    PumpedWait(1, 3);
    registerMessagePump(nullptr);
    finished = true;
  });
  std::this_thread::sleep_for(30ms);
  source.request_stop();
  waiter.join();
  EXPECT_TRUE(finished);
}

TEST(PumpedWaitStop, ScopesNestAndRestore) {
  std::stop_source outer, inner;
  StopScope a(outer.get_token());
  {
    StopScope b(inner.get_token());
    inner.request_stop();
    EXPECT_TRUE(stopRequested());
  }
  EXPECT_FALSE(stopRequested());
}

}  // namespace
}  // namespace vidralo
