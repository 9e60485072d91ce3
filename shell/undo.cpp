// Each state keeps the motion's blocks as stored copies (links as list
// positions) in groups of a fixed size. Recording compares every block with
// the stored block at the same position in the current state and reuses it
// when equal, and reuses a whole group when all its blocks are reused, so an
// edit of one block costs one stored block, one group and the state's short
// list of groups.
#include "shell/undo.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "motion/motion.h"

namespace kv {

namespace {

constexpr size_t kGroupSize = 32;

// Repaint, drag and rubber-band marks are transient; selection is part of
// the motion.
constexpr uint32_t kStoredFlags = block_flag::kSelected;

using Links = std::array<int32_t, 2>;

struct StoredBlock {
  std::u16string name;
  uint16_t steps = 0;
  std::array<int16_t, kSliderCount> values{};
  std::u16string voiceFile;
  uint32_t servoMask = 0;
  uint32_t flags = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::array<int32_t, 2> routeOffset{};
  Links link{-1, -1};  // list positions of the targets, -1 for an open link
  int32_t kind = 0;
  uint8_t resultVar = 0;
  uint8_t sourceVar = 0;
  uint8_t operation = 0;
  int16_t constant = 0;
  uint8_t condition = 0;
  uint8_t testVar = 0;
  int16_t testValue = 0;
};

bool sameBlock(const MotionBlock& live, const Links& links, const StoredBlock& stored) {
  return live.kind == stored.kind && links == stored.link && (live.flags & kStoredFlags) == stored.flags &&
         live.left == stored.left && live.top == stored.top && live.right == stored.right &&
         live.bottom == stored.bottom && live.routeOffset == stored.routeOffset && live.pose.steps == stored.steps &&
         live.pose.servoMask == stored.servoMask && live.resultVar == stored.resultVar &&
         live.sourceVar == stored.sourceVar && live.operation == stored.operation && live.constant == stored.constant &&
         live.condition == stored.condition && live.testVar == stored.testVar && live.testValue == stored.testValue &&
         live.pose.values == stored.values && live.name == stored.name && live.pose.voiceFile == stored.voiceFile;
}

std::shared_ptr<const StoredBlock> storeBlock(const MotionBlock& live, const Links& links) {
  auto stored = std::make_shared<StoredBlock>();
  stored->name = live.name;
  stored->steps = live.pose.steps;
  stored->values = live.pose.values;
  stored->voiceFile = live.pose.voiceFile;
  stored->servoMask = live.pose.servoMask;
  stored->flags = live.flags & kStoredFlags;
  stored->left = live.left;
  stored->top = live.top;
  stored->right = live.right;
  stored->bottom = live.bottom;
  stored->routeOffset = live.routeOffset;
  stored->link = links;
  stored->kind = live.kind;
  stored->resultVar = live.resultVar;
  stored->sourceVar = live.sourceVar;
  stored->operation = live.operation;
  stored->constant = live.constant;
  stored->condition = live.condition;
  stored->testVar = live.testVar;
  stored->testValue = live.testValue;
  return stored;
}

int16_t fileIndex(int32_t position) { return position <= INT16_MAX ? static_cast<int16_t>(position) : int16_t{-1}; }

std::unique_ptr<MotionBlock> restoreBlock(const StoredBlock& stored) {
  auto block = std::make_unique<MotionBlock>();
  block->name = stored.name;
  block->pose.steps = stored.steps;
  block->pose.values = stored.values;
  block->pose.voiceFile = stored.voiceFile;
  block->pose.servoMask = stored.servoMask;
  // As a stored copy, the file indices hold the link positions.
  block->pose.nextIndex = fileIndex(stored.link[kNextLink]);
  block->pose.branchIndex = fileIndex(stored.link[kBranchLink]);
  block->flags = stored.flags | block_flag::kNeedsRepaint;
  block->left = stored.left;
  block->top = stored.top;
  block->right = stored.right;
  block->bottom = stored.bottom;
  block->routeOffset = stored.routeOffset;
  block->kind = stored.kind;
  block->resultVar = stored.resultVar;
  block->sourceVar = stored.sourceVar;
  block->operation = stored.operation;
  block->constant = stored.constant;
  block->condition = stored.condition;
  block->testVar = stored.testVar;
  block->testValue = stored.testValue;
  return block;
}

using Group = std::vector<std::shared_ptr<const StoredBlock>>;

struct State {
  std::vector<std::shared_ptr<const Group>> groups;
  int32_t count = 0;
  int32_t current = -1;  // list position of the current block, -1 for none

  const StoredBlock* block(size_t position) const {
    size_t group = position / kGroupSize;
    size_t at = position % kGroupSize;
    if (group >= groups.size() || at >= groups[group]->size()) return nullptr;
    return (*groups[group])[at].get();
  }
};

// List positions of the motion's blocks. A link usually still points where
// the previous state says, which is checked first; the sorted table is only
// built when that guess fails.
class Positions {
 public:
  explicit Positions(const Motion& motion) : motion_(motion) {}

  int32_t of(const MotionBlock* block, int32_t guess) {
    if (!block) return -1;
    if (guess >= 0 && guess < motion_.count() && motion_.blocks[guess].get() == block) return guess;
    if (table_.empty()) {
      table_.reserve(motion_.blocks.size());
      for (size_t i = 0; i < motion_.blocks.size(); ++i)
        table_.emplace_back(motion_.blocks[i].get(), static_cast<int32_t>(i));
      std::sort(table_.begin(), table_.end());
    }
    auto found = std::lower_bound(table_.begin(), table_.end(), std::make_pair(block, int32_t{-1}));
    return found != table_.end() && found->first == block ? found->second : -1;
  }

 private:
  const Motion& motion_;
  std::vector<std::pair<const MotionBlock*, int32_t>> table_;
};

size_t stringHeapBytes(const std::u16string& text) {
  const char* object = reinterpret_cast<const char*>(&text);
  const char* data = reinterpret_cast<const char*>(text.data());
  bool inside = data >= object && data < object + sizeof text;
  return inside ? 0 : (text.capacity() + 1) * sizeof(char16_t);
}

constexpr size_t kSharedOverhead = 16;  // reference counts beside each shared object

}  // namespace

struct UndoChain::Impl {
  std::vector<State> states;
  size_t current = 0;

  State capture(const Motion& motion) const {
    const State* previous = states.empty() ? nullptr : &states[current];
    Positions positions(motion);
    State state;
    state.count = motion.count();
    int32_t currentGuess = previous ? previous->current : -1;
    state.current = positions.of(motion.currentBlock, currentGuess);

    const size_t count = motion.blocks.size();
    Group scratch;
    for (size_t first = 0, g = 0; first < count; first += kGroupSize, ++g) {
      const size_t length = std::min(kGroupSize, count - first);
      const Group* oldGroup = previous && g < previous->groups.size() ? previous->groups[g].get() : nullptr;
      bool allReused = oldGroup && oldGroup->size() == length;
      scratch.clear();
      scratch.reserve(length);
      for (size_t k = 0; k < length; ++k) {
        const MotionBlock& live = *motion.blocks[first + k];
        const std::shared_ptr<const StoredBlock>* old =
            oldGroup && k < oldGroup->size() ? &(*oldGroup)[k] : nullptr;
        Links links{positions.of(live.link[kNextLink], old ? (*old)->link[kNextLink] : -1),
                    positions.of(live.link[kBranchLink], old ? (*old)->link[kBranchLink] : -1)};
        if (old && sameBlock(live, links, **old)) {
          scratch.push_back(*old);
        } else {
          scratch.push_back(storeBlock(live, links));
          allReused = false;
        }
      }
      state.groups.push_back(allReused ? previous->groups[g] : std::make_shared<const Group>(std::move(scratch)));
      scratch = Group();
    }
    return state;
  }

  static void rebuild(Motion& motion, const State& state) {
    std::vector<std::unique_ptr<MotionBlock>> blocks;
    blocks.reserve(state.count);
    std::vector<const StoredBlock*> stored;
    stored.reserve(state.count);
    for (const auto& group : state.groups) {
      for (const auto& block : *group) {
        stored.push_back(block.get());
        blocks.push_back(restoreBlock(*block));
      }
    }
    auto target = [&](int32_t position) -> MotionBlock* {
      return position >= 0 && static_cast<size_t>(position) < blocks.size() ? blocks[position].get() : nullptr;
    };
    for (size_t i = 0; i < blocks.size(); ++i) {
      blocks[i]->link[kNextLink] = target(stored[i]->link[kNextLink]);
      blocks[i]->link[kBranchLink] = target(stored[i]->link[kBranchLink]);
    }
    MotionBlock* current = target(state.current);
    // The replaced blocks are freed when `blocks` leaves scope, after every
    // pointer of the motion has moved to the new ones.
    motion.blocks.swap(blocks);
    motion.currentBlock = current;
    motion.propertyBlock = nullptr;
  }
};

UndoChain::UndoChain() : impl_(new Impl) {}
UndoChain::~UndoChain() { delete impl_; }

void UndoChain::reset(const Motion& motion) {
  impl_->states.clear();
  impl_->current = 0;
  record(motion);
}

void UndoChain::record(const Motion& motion) {
  State state = impl_->capture(motion);
  auto& states = impl_->states;
  if (!states.empty()) states.resize(impl_->current + 1);
  states.push_back(std::move(state));
  impl_->current = states.size() - 1;
}

bool UndoChain::canUndo() const { return !impl_->states.empty() && impl_->current > 0; }
bool UndoChain::canRedo() const { return impl_->current + 1 < impl_->states.size(); }

bool UndoChain::undo(Motion& motion) {
  if (!canUndo()) return false;
  --impl_->current;
  Impl::rebuild(motion, impl_->states[impl_->current]);
  return true;
}

bool UndoChain::redo(Motion& motion) {
  if (!canRedo()) return false;
  ++impl_->current;
  Impl::rebuild(motion, impl_->states[impl_->current]);
  return true;
}

size_t UndoChain::stateCount() const { return impl_->states.size(); }

UndoChain::Usage UndoChain::usage() const {
  Usage usage;
  usage.states = impl_->states.size();
  usage.bytes = impl_->states.capacity() * sizeof(State);
  std::unordered_set<const Group*> groups;
  std::unordered_set<const StoredBlock*> blocks;
  for (const State& state : impl_->states) {
    usage.bytes += state.groups.capacity() * sizeof(std::shared_ptr<const Group>);
    for (const auto& group : state.groups) {
      if (!groups.insert(group.get()).second) continue;
      usage.bytes += kSharedOverhead + sizeof(Group) + group->capacity() * sizeof(Group::value_type);
      for (const auto& block : *group) {
        if (!blocks.insert(block.get()).second) continue;
        usage.bytes += kSharedOverhead + sizeof(StoredBlock) + stringHeapBytes(block->name) +
                       stringHeapBytes(block->voiceFile);
      }
    }
  }
  usage.groups = groups.size();
  usage.blocks = blocks.size();
  return usage;
}

}  // namespace kv
