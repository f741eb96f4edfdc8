// SPDX-License-Identifier: GPL-3.0-or-later
// Measuring a run's pictures ahead on a second thread: the run gets for each picture what
// measuring it gives, in its own order, with a failure where it asks for that picture, whichever
// thread measured it; and a run that leaves the order still gets the pictures it asks for.

#include "core/picture_measure_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace qlm {
namespace {

std::string PathAt(std::size_t index) {
    return "/pictures/" + std::to_string(index) + ".jpg";
}

// Gives each path a size of its own, counts how often each was measured and on which thread, and
// fails for the paths named in `failing`.
struct FakeMeasure {
    std::mutex mutex;
    std::map<std::string, int> times;
    std::map<std::string, std::string> failing;
    std::atomic<int> on_caller{0};
    std::thread::id caller = std::this_thread::get_id();

    PictureMeasureAhead::Measure Function() {
        return [this](const std::string& path) {
            {
                const std::lock_guard lock(mutex);
                ++times[path];
            }
            if (std::this_thread::get_id() == caller)
                ++on_caller;
            if (const auto failure = failing.find(path); failure != failing.end())
                throw std::runtime_error(failure->second);
            return Expected(path);
        };
    }
    static Picture Expected(const std::string& path) {
        Picture picture;
        picture.opened = path.find("missing") == std::string::npos;
        picture.width = static_cast<int>(path.size()) * 7;
        picture.height = static_cast<int>(std::hash<std::string>()(path) % 1000);
        return picture;
    }
};

void ExpectSame(const Picture& got, const std::string& path) {
    const Picture expected = FakeMeasure::Expected(path);
    EXPECT_EQ(got.opened, expected.opened) << path;
    EXPECT_EQ(got.width, expected.width) << path;
    EXPECT_EQ(got.height, expected.height) << path;
}

TEST(PictureMeasureAhead, ARunInOrderGetsEachPictureMeasuredOnce) {
    // A small window makes the second thread wait for the run and be woken again many times, and
    // the run measure ahead itself whenever it finds its picture still being measured.
    for (const std::size_t window : {2u, 5u, 64u}) {
        FakeMeasure measure;
        constexpr std::size_t kCount = 300;
        {
            PictureMeasureAhead ahead(measure.Function(), PathAt, kCount, window);
            for (std::size_t i = 0; i < kCount; ++i)
                ExpectSame(ahead.Take(PathAt(i)), PathAt(i));
        }
        EXPECT_EQ(measure.times.size(), kCount) << window;
        for (const auto& [path, times] : measure.times)
            EXPECT_EQ(times, 1) << path;
    }
}

TEST(PictureMeasureAhead, ARunThatCatchesUpMeasuresTheNextPicturesItself) {
    // The second thread hangs on the first picture until the run has measured every other one of
    // the window, which the run does instead of waiting; then it gets them all in order.
    constexpr std::size_t kWindow = 6;
    constexpr std::size_t kCount = 40;
    FakeMeasure measure;
    std::mutex mutex;
    std::condition_variable changed;
    int measured_by_run = 0;
    const PictureMeasureAhead::Measure counted = measure.Function();
    const auto slow_second_thread = [&](const std::string& path) {
        Picture picture = counted(path);
        std::unique_lock lock(mutex);
        if (std::this_thread::get_id() == measure.caller)
            ++measured_by_run;
        else if (path == PathAt(0))
            changed.wait_for(lock, std::chrono::seconds(20),
                             [&] { return measured_by_run >= static_cast<int>(kWindow) - 1; });
        changed.notify_all();
        return picture;
    };
    {
        PictureMeasureAhead ahead(slow_second_thread, PathAt, kCount, kWindow);
        for (std::size_t i = 0; i < kCount; ++i)
            ExpectSame(ahead.Take(PathAt(i)), PathAt(i));
    }
    EXPECT_GE(measured_by_run, static_cast<int>(kWindow) - 1);
    EXPECT_EQ(measure.times.size(), kCount);
    for (const auto& [path, times] : measure.times)
        EXPECT_EQ(times, 1) << path;
}

TEST(PictureMeasureAhead, AFailureIsThrownWhereTheRunAsksForThatPicture) {
    FakeMeasure measure;
    measure.failing[PathAt(3)] = "Die Bilddatei ist beschädigt.";
    PictureMeasureAhead ahead(measure.Function(), PathAt, 6, 2);
    for (std::size_t i = 0; i < 3; ++i)
        ExpectSame(ahead.Take(PathAt(i)), PathAt(i));
    try {
        ahead.Take(PathAt(3));
        ADD_FAILURE() << "no failure";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "Die Bilddatei ist beschädigt.");
    }
    // The run may go on after a failure, as a run that only warns does.
    ExpectSame(ahead.Take(PathAt(4)), PathAt(4));
    ExpectSame(ahead.Take(PathAt(5)), PathAt(5));
}

TEST(PictureMeasureAhead, ARunThatLeavesTheOrderGetsThePicturesItAsksFor) {
    FakeMeasure measure;
    PictureMeasureAhead ahead(measure.Function(), PathAt, 50, 4);
    ExpectSame(ahead.Take(PathAt(0)), PathAt(0));
    // The first one may have been measured by either thread.
    const int before = measure.on_caller;
    // Out of order: measured where it is asked for, and so is everything after it, also what would
    // have been next in the order.
    ExpectSame(ahead.Take("/elsewhere/missing.png"), "/elsewhere/missing.png");
    ExpectSame(ahead.Take(PathAt(1)), PathAt(1));
    ExpectSame(ahead.Take(PathAt(7)), PathAt(7));
    EXPECT_EQ(measure.on_caller - before, 3);
    // Asking beyond the announced ones is leaving the order too.
    FakeMeasure short_measure;
    PictureMeasureAhead short_ahead(short_measure.Function(), PathAt, 1, 4);
    ExpectSame(short_ahead.Take(PathAt(0)), PathAt(0));
    const int short_before = short_measure.on_caller;
    ExpectSame(short_ahead.Take(PathAt(1)), PathAt(1));
    EXPECT_EQ(short_measure.on_caller - short_before, 1);
}

TEST(PictureMeasureAhead, ARunThatStopsEarlyEndsWithoutWaitingForTheRest) {
    // The second thread is asleep with a full window, or in the middle of the pictures: going
    // must wake it and end it, whatever it is doing.
    for (const std::size_t taken : {0u, 1u, 10u}) {
        FakeMeasure measure;
        {
            PictureMeasureAhead ahead(measure.Function(), PathAt, 100000, 8);
            for (std::size_t i = 0; i < taken; ++i)
                ExpectSame(ahead.Take(PathAt(i)), PathAt(i));
        }
        EXPECT_LT(measure.times.size(), 100000u) << taken;
    }
}

} // namespace
} // namespace qlm
