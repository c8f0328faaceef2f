// A desktop wallpaper setting that records what it is asked, for tests.
#pragma once

#include <QStringList>

#include "browse/Wallpaper.h"

namespace pq::test {

class FakeWallpaper : public IDesktopWallpaper {
public:
    explicit FakeWallpaper(Value start = {"/usr/share/backgrounds/hills.png", "zoom"})
        : value_(std::move(start)) {}
    QString Name() const override { return "fake"; }
    bool Available() const override { return available; }
    Value Get() const override { return value_; }
    bool Set(const Value& v) override {
        value_ = v;
        calls.append(v.picture + " | " + v.option);
        return true;
    }
    const Value& Current() const { return value_; }

    bool available = true;
    QStringList calls;

private:
    Value value_;
};

}  // namespace pq::test
