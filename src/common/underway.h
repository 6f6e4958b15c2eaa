#pragma once

// A call that serves the events while it works can be entered again from one
// of them (a second OK, a timer's run): the flag it holds set for its length
// lets that second call refuse.

namespace tarvenix {

class Underway {
public:
    explicit Underway(bool& flag)
        : flag_(flag) {
        flag_ = true;
    }
    ~Underway() { flag_ = false; }
    Underway(const Underway&) = delete;
    Underway& operator=(const Underway&) = delete;

private:
    bool& flag_;
};

}  // namespace tarvenix
