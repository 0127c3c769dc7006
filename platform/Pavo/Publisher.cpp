#include "Pavo/Publisher.h"

#include <algorithm>

namespace Pavo {

// One publication in progress. Frames form a stack through `outer`, so the
// destructor can stop every publication running on this publisher.
struct Publisher::Frame {
  Frame* outer;
  IsEqFn isEq;
  bool publisherGone = false;
};

Publisher::~Publisher() {
  for (Frame* f = frame_; f != nullptr; f = f->outer) {
    f->publisherGone = true;
  }
  // Only records that had a `gone` function when added are touched: others
  // may already be destroyed. Taken from the back one at a time, so a `gone`
  // function that unsubscribes another record only shortens the list.
  while (!watchers_.empty()) {
    Subscriber* s = watchers_.back();
    watchers_.pop_back();
    *std::find(subs_.begin(), subs_.end(), s) = nullptr;
    --live_;
    s->gone(this, s);
  }
}

void Publisher::subscriberAdd(Subscriber* subscriber, bool /*recursive*/) {
  if (subscriber == nullptr || subscriberHas(subscriber))
    return;
  subs_.push_back(subscriber);
  ++live_;
  if (subscriber->gone != nullptr)
    watchers_.push_back(subscriber);
}

void Publisher::subscriberRemove(Subscriber* subscriber) {
  auto it = std::find(subs_.begin(), subs_.end(), subscriber);
  if (subscriber == nullptr || it == subs_.end())
    return;
  --live_;
  std::erase(watchers_, subscriber);
  if (frame_ != nullptr) {
    *it = nullptr;  // compacted when the outermost publication ends
  } else {
    subs_.erase(it);
  }
}

bool Publisher::subscriberHas(Subscriber const* subscriber) const {
  return subscriber != nullptr && std::find(subs_.begin(), subs_.end(), subscriber) != subs_.end();
}

IsEqFn Publisher::keyIsEq() const noexcept {
  return frame_ != nullptr ? frame_->isEq : nullptr;
}

void Publisher::compact() {
  subs_.erase(std::remove(subs_.begin(), subs_.end(), nullptr), subs_.end());
}

void Publisher::publishChangeRecursive(FieldId fieldId, void const* key, void const* prior,
                                       IsEqFn isEq) {
  if (live_ == 0)
    return;
  Frame frame{frame_, isEq};
  frame_ = &frame;
  // Pops the frame however the publication ends, a throwing dispatch
  // included, unless the publisher is already gone.
  struct Pop {
    Publisher* self;
    Frame& frame;
    ~Pop() {
      if (frame.publisherGone)
        return;
      self->frame_ = frame.outer;
      if (self->frame_ == nullptr && self->live_ != self->subs_.size())
        self->compact();
    }
  } pop{this, frame};
  // Subscribers added during this publication land beyond `end`.
  std::size_t const end = subs_.size();
  for (std::size_t i = 0; i < end; ++i) {
    Subscriber* s = subs_[i];
    if (s == nullptr)
      continue;
    s->dispatch(this, s, fieldId, key, prior);
    if (frame.publisherGone)
      return;  // `this` is gone: touch nothing
  }
}

}  // namespace Pavo
