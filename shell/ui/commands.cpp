#include "shell/ui/commands.h"

#include <QAction>
#include <QWidget>

#include "shell/ui/toolbar_icons.h"

namespace kv::command {

CommandRegistry::CommandRegistry(QWidget* window, std::function<void(int id)> dispatch)
    : window_(window), dispatch_(std::move(dispatch)) {}

QAction* CommandRegistry::action(int id) {
  Command& command = commands_[id];
  if (!command.action) {
    command.spec.id = id;
    command.action = new QAction(window_);
    command.action->setData(id);
    command.action->setEnabled(false);
    command.action->setShortcutContext(Qt::WindowShortcut);
    QIcon icon = toolbarIcon(id);
    if (!icon.isNull()) command.action->setIcon(icon);
    window_->addAction(command.action);  // keys work even for commands that are in no menu
    QObject::connect(command.action, &QAction::triggered, window_, [this, id] { dispatch_(id); });
  }
  return command.action;
}

QAction* CommandRegistry::add(CommandSpec spec, Job job) {
  QAction* a = action(spec.id);
  Command& command = commands_[spec.id];
  a->setText(QString::fromUtf8(spec.caption));
  a->setShortcuts(spec.keysWhen ? QList<QKeySequence>{} : spec.keys);
  a->setCheckable(spec.checkedBy != 0);
  a->setEnabled(true);
  command.spec = std::move(spec);
  command.job = std::move(job);
  if (added) added(command);
  return a;
}

void CommandRegistry::addRange(int first, int count, unsigned flags, std::function<void(int n)> job) {
  std::erase_if(ranges_, [first](const Range& range) { return range.first == first; });
  ranges_.push_back({first, count, flags, std::move(job)});
}

const CommandRegistry::Range* CommandRegistry::findRange(int id) const {
  for (const Range& range : ranges_)
    if (id >= range.first && id < range.first + range.count) return &range;
  return nullptr;
}

const CommandRegistry::Command* CommandRegistry::find(int id) const {
  auto it = commands_.find(id);
  return it == commands_.end() || !it->second.job ? nullptr : &it->second;
}

bool CommandRegistry::registered(int id) const { return find(id) || findRange(id); }

unsigned CommandRegistry::flags(int id) const {
  if (const Command* command = find(id)) return command->spec.flags;
  if (const Range* range = findRange(id)) return range->flags;
  return 0;
}

bool CommandRegistry::runJob(int id) const {
  if (const Command* command = find(id)) {
    command->job();
    return true;
  }
  if (const Range* range = findRange(id)) {
    range->job(id - range->first);
    return true;
  }
  return false;
}

const std::vector<ToolbarButton>& toolbarButtons() {
  static const std::vector<ToolbarButton> buttons = {
      {kNewMotion, 40037},        {kOpenMotion, 40038},       {kSaveMotion, 40039},      {kUndo, 40040},
      {kRedo, 40041},             {kCopyJointValues, 40042},  {kPasteJointValues, 40043}, {kCopyLeftToRight, 40045},
      {kCopyRightToLeft, 40044},  {kMirrorPose, 40046},       {kMatchBasePose, 40047},   {kSplitPose, 40048},
      {kDuplicatePose, 40049},    {kDeletePose, 40050},       {kPlay, 40052},            {kStop, 40053},
      {kNextPose, 40054},         {kNextPoseByBranch, 40055}, {kServoCorrection, 40056}, {kModeSwitchSettings, 40057},
      {kServosOn, 40060},         {kOnline, 40061},
  };
  return buttons;
}

}  // namespace kv::command
