#include "shell/ui/commands.h"

namespace kv::command {

const std::vector<CommandInfo>& commandTable() {
  static const std::vector<CommandInfo> table = {
      {kExit, "終了(&X)", QKeySequence("Ctrl+Q"), {}, kRunsAfterFailedStartup},
      // The online and servo commands reach the session while a motion
      // plays: it refuses to disconnect (40303) and hands servo power to
      // playback.
      {kOnline, "オンライン", {}, {}, kRunsWhilePlaying},
      {kNewMotion, "新規(&N)", QKeySequence("Ctrl+N")},
      {kOpenMotion, "開く(&O)...", QKeySequence("Ctrl+O")},
      {kSaveMotionAs, "名前を付けて保存(&A)...", {}},
      {kSaveMotion, "上書き保存(&S)", QKeySequence("Ctrl+S")},
      {kUndo, "元に戻す(&U)", QKeySequence("Ctrl+Z")},
      {kRedo, "やり直し(&R)", QKeySequence("Ctrl+Y")},
      {kSplitPose, "編集中のポーズの分割", QKeySequence("Ins")},
      {kDuplicatePose, "編集中のポーズの複製", QKeySequence("Shift+Ins")},
      {kDeletePose, "編集中のポーズの削除", QKeySequence("Del")},
      {kPlay, "モーションの再生", {}},
      {kStop, "モーションの停止", {}, {}, kRunsWhilePlaying},
      {kNextPose, "次のポーズへ進む", QKeySequence("Ctrl+Space")},
      {kNextPoseByBranch, "次のポーズへ進む(分岐)", QKeySequence("Shift+Space")},
      {kDisplaySettings, "画面表示の設定...", {}},
      {kCopyJointValues, "関節値のコピー", {}},
      {kPasteJointValues, "関節値の貼り付け", {}},
      {kCopyLeftToRight, "左半身を右半身へコピー", {}},
      {kCopyRightToLeft, "右半身を左半身へコピー", {}},
      {kMirrorPose, "鏡像反転", QKeySequence("Ctrl+F")},
      {kServosOn, "サーボモータON", QKeySequence("Home"), {}, kRunsWhilePlaying},
      {kToggleDisplayInversion, "ポーズスライダの表示反転", {}},
      {kCopyBlocks, "選択したブロックをコピー", {}},
      {kDeleteBlocks, "選択したブロックを削除", {}},
      {kCutBlocks, "選択したブロックを切り取り", QKeySequence("Ctrl+X")},
      {kApplyTimeOverride, "再生時間オーバーライドの反映", {}},
      {kSelectAll, "", QKeySequence("Ctrl+A")},
      {kFirstPose, "", QKeySequence("Ctrl+0"), QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_0))},
      {kServoCorrection, "サーボ位置補正", {}},
      {kSliderSettings, "ポーズスライダのプロパティ...", {}},
      {kMatchBasePose, "", {}},
      {kBasePoseDialog, "基準ポーズの登録...", {}},
      {kCpuSettings, "CPUの設定...", {}},
      {kModeSwitchSettings, "モードスイッチ/音声の設定・書き込み...", {}},
      {kNewProject, "ロボットプロジェクトの新規作成...", {}},
      {kOpenProject, "ロボットプロジェクトを開く...", {}, {}, kRunsAfterFailedStartup},
      {kVersion, "バージョン情報...", {}},
      {kFirmwareUpdate, "ファームウェアアップデート...", {}},
      {kImportLegacyMotion, "Velbo-L2のモーションを読み込む", {}},
      {kAddCalculation, "演算ブロックの追加", {}},
      {kAddBranch, "分岐ブロックの追加", {}},
      {kAddLoop, "ループブロックの追加", {}},
      {kPasteBlocks, "コピーしたブロックを貼り付け", {}},
      {kCopyHere, "", QKeySequence("Ctrl+C")},
      {kPasteHere, "", QKeySequence("Ctrl+V")},
      {kBlockProperties, "ブロックのプロパティ...", {}},
      {kAddPose, "ポーズブロックの追加", {}},
      {kImportMotion, "モーションファイルのインポート", {}},
      {kMirrorSelectedPoses, "選択したポーズを全て鏡像反転", {}},
      {kAddEnd, "エンドブロックの追加", {}},
      {kServosOffBySpace, "", QKeySequence("Space"), {}, kRunsWhilePlaying},
      {kBatchOffset, "選択したポーズの一括オフセット", {}},
      {kOffsetDialog, "オフセットの登録...", {}},
  };
  return table;
}

const CommandInfo* findCommand(int id) {
  for (const CommandInfo& info : commandTable())
    if (info.id == id) return &info;
  return nullptr;
}

unsigned commandFlags(int id) {
  // A recent project opens in an editor of its own.
  if (id >= kFirstRecentProject && id < kFirstRecentProject + 32) return kRunsAfterFailedStartup;
  const CommandInfo* info = findCommand(id);
  return info ? info->flags : 0;
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
