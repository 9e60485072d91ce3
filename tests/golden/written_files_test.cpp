// Whole-file byte comparisons of what the writers produce: the expected bytes
// are written out here line by line from the file formats, so a field written
// in the wrong place fails even when the reader makes the same mistake.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/rom_settings.h"
#include "display/display_settings.h"
#include "motion/motion_file.h"
#include "pose/base_poses.h"
#include "pose/slider_table.h"
#include "support/temp_dir.h"

namespace kv {
namespace {

using testing::TempDir;

// A file as the program writes it: FF FE, UTF-16LE, every line ending in CR LF.
std::string writtenForm(std::u16string_view text) {
  std::u16string crlf;
  for (char16_t unit : text) {
    if (unit == u'\n') crlf += u'\r';
    crlf += unit;
  }
  return testing::utf16File(crlf);
}

std::u16string repeated(std::u16string_view item, int count, std::u16string_view separator) {
  std::u16string out;
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += separator;
    out += item;
  }
  return out;
}

std::u16string decimal(int n) {
  std::u16string text;
  for (char c : std::to_string(n)) text += static_cast<char16_t>(c);
  return text;
}

MotionBlock* append(BlockList& blocks, int kind, std::u16string name, int left, int top) {
  auto block = std::make_unique<MotionBlock>();
  block->kind = kind;
  block->name = std::move(name);
  block->left = left;
  block->top = top;
  return blocks.emplace_back(std::move(block)).get();
}

TEST(GoldenFiles, MotionFileV1R4WithEveryLineKind) {
  SliderTable sliders;
  sliders.sliders[2].behaviourFlags = kSliderDisabled;  // written with the upper-case prefix
  BasePoseTable basePoses;
  MotionFileContext context{sliders, basePoses};

  BlockList blocks;
  MotionBlock* start = append(blocks, KindStart, u"", 50, 10);
  MotionBlock* pose = append(blocks, KindPose, u"POSE 0", 50, 58);
  MotionBlock* addConstant = append(blocks, KindCalcConstant, u" CALCULATION ", 50, 120);
  MotionBlock* multiplyVariable = append(blocks, KindCalcVariable, u"v7", 50, 170);
  MotionBlock* branch = append(blocks, KindBranch, u"IF", 50, 220);
  MotionBlock* loop = append(blocks, KindLoop, u"BREAK POINT 0", 200, 220);
  MotionBlock* end = append(blocks, KindEnd, u"   END   ", 50, 400);
  start->link[kNextLink] = pose;
  pose->pose.steps = 120;
  pose->pose.values[0] = -1;
  pose->pose.values[1] = 0x1234;
  pose->pose.values[2] = 5;
  pose->pose.values[61] = -32768;
  pose->pose.servoMask = 0x20000005;  // sliders 0, 2 and 29
  pose->link[kNextLink] = addConstant;
  addConstant->operation = OpAdd;
  addConstant->resultVar = 100;
  addConstant->constant = -5;
  addConstant->link[kNextLink] = multiplyVariable;
  multiplyVariable->operation = OpMultiply;
  multiplyVariable->resultVar = 7;
  multiplyVariable->sourceVar = 8;
  multiplyVariable->routeOffset = {12, 6};
  multiplyVariable->link[kNextLink] = branch;
  branch->condition = CondNotEqual;
  branch->testVar = 100;
  branch->testValue = -3;
  branch->routeOffset = {16, 46};
  branch->link[kNextLink] = loop;
  branch->link[kBranchLink] = pose;
  loop->routeOffset = {16, 55};
  loop->link[kNextLink] = end;
  loop->link[kBranchLink] = pose;
  end->routeOffset = {16, 46};

  std::u16string values = u"0xffff,0x1234,0X0005," + repeated(u"0x0000", 58, u",") + u",0x8000";
  const std::u16string expected =
      u"_MOTION_FORMAT:[ POSEDEF_V1R4 ]\n"
      u"_ENABLE_AXIS:[62]\n"
      u"\n"
      u"_MOTION_INFO:[[]]-[50]-[10]-[6]-[6]-[1]-[-1]\n"
      u"_STARTMOT:\n"
      u"\n"
      u"_MOTION_INFO:[[POSE 0]]-[50]-[58]-[6]-[6]-[2]-[-1]\n"
      u"_POSE:[120]-[" + values + u"]-[[]]-[101000000000000000000000000001]\n"
      u"\n"
      u"_MOTION_INFO:[[ CALCULATION ]]-[50]-[120]-[6]-[6]-[3]-[-1]\n"
      u"_VARCON:[1]-[100]-[-5]\n"
      u"\n"
      u"_MOTION_INFO:[[v7]]-[50]-[170]-[12]-[6]-[4]-[-1]\n"
      u"_VARVAR:[3]-[7]-[8]\n"
      u"\n"
      u"_MOTION_INFO:[[IF]]-[50]-[220]-[16]-[46]-[5]-[1]\n"
      u"_MIF:[5]-[100]-[-3]\n"
      u"\n"
      u"_MOTION_INFO:[[BREAK POINT 0]]-[200]-[220]-[16]-[55]-[6]-[1]\n"
      u"_OLDLOOP:\n"
      u"\n"
      u"_MOTION_INFO:[[   END   ]]-[50]-[400]-[16]-[46]-[-1]-[-1]\n"
      u"_ENDMOT:\n";

  TempDir dir;
  ASSERT_TRUE(writeMotionFile(dir / "motion.txt", blocks, context));
  EXPECT_EQ(testing::readBytes(dir / "motion.txt"), writtenForm(expected));
}

TEST(GoldenFiles, AxisDefinitionFile) {
  SliderTable table;
  table.centreBarPosition = 0.55;
  table.centreBarState = 1;
  table.clientWidth = 1024;
  table.clientHeight = 700;
  PoseSlider& head = table.sliders[0];
  head.x = 120;
  head.y = 45;
  head.name = u"頭";
  head.upperText = u"上";
  head.lowerText = u"下";
  head.font.height = -12;
  head.font.width = 6;
  head.font.escapement = head.font.orientation = 3;
  head.font.quality = 1;
  head.font.pitchAndFamily = 0x31;
  head.font.charSet = 128;
  head.font.outPrecision = 4;
  head.font.clipPrecision = 2;
  head.font.weight = 700;
  head.font.italic = 1;
  head.font.strikeOut = 1;
  head.font.faceName = u"MS UI Gothic";
  head.textColour = 0x0000FF;       // red
  head.textBackground = 0x00804020;  // red 32, green 64, blue 128
  head.pairAttribute = PairRight;
  head.pairPartner = 1;
  head.valueFormat = FormatDegrees;
  head.decimalPlaces = 1;
  head.unitsPerDegree = 12.5;
  head.lowerLimit = -1200;
  head.upperLimit = 1100;
  head.stepResolution = 300;
  head.displayFlags = kDisplayInverted | kSliderSelected;  // the selection is never stored
  head.behaviourFlags = kShowSliderName | kAbsoluteValue;
  table.sliders[1].pairAttribute = PairLeft;
  table.sliders[1].pairPartner = 0;

  std::u16string expected =
      u"_CENTER_BAR:[0.550000]-[1]\n"
      u"_WINDOW_SIZW:[1024]-[700]\n"
      u"\n"
      u"_NUMBER:[00]\n"
      u"_AXISNAME:[[頭]]\n"
      u"_POSITION:[120]-[45]\n"
      u"_MESSAGE:[[上]]-[[下]]\n"
      u"_FONT:[-12]-[6]-[3]-[1]-[49]-[128]-[4]-[2]-[255,0,0]-[32,64,128]-[700]-[5]-[[MS UI Gothic]]\n"
      u"_PAIR:[2]-[1]\n"
      u"_PUTSTYLE:[2]-[1]-[12.5000]\n"
      u"_DIVISION:[-1200]-[1100]-[300]\n"
      u"_FLAG:[1]-[20]\n"
      u"\n";
  for (int n = 1; n < kSliderCount; ++n) {
    expected += u"_NUMBER:[" + std::u16string(n < 10 ? u"0" : u"") + decimal(n) + u"]\n"
                u"_AXISNAME:[[]]\n"
                u"_POSITION:[0]-[0]\n"
                u"_MESSAGE:[[]]-[[]]\n"
                u"_FONT:[0]-[0]-[0]-[0]-[0]-[0]-[0]-[0]-[0,0,0]-[0,0,0]-[0]-[0]-[[]]\n" +
                std::u16string(n == 1 ? u"_PAIR:[3]-[0]\n" : u"_PAIR:[0]-[0]\n") +
                u"_PUTSTYLE:[0]-[0]-[0.0000]\n"
                u"_DIVISION:[0]-[0]-[0]\n"
                u"_FLAG:[0]-[0]\n"
                u"\n";
  }

  TempDir dir;
  ASSERT_TRUE(saveSliderFile(dir / "medit_sld.ini", table));
  EXPECT_EQ(testing::readBytes(dir / "medit_sld.ini"), writtenForm(expected));
}

TEST(GoldenFiles, BasePoseFile) {
  BasePoseTable table;
  table.current = 1;
  BasePose& stand = table.entries[0];
  stand.valid = true;
  stand.name = u"直立";
  stand.sliderEnabled[0] = stand.sliderEnabled[2] = stand.sliderEnabled[61] = true;
  stand.values[0] = 16;
  stand.values[1] = 99;  // not enabled: not written
  stand.values[2] = -1;
  stand.values[61] = 0x7FFF;
  stand.servoMask = 0x00000003;
  BasePose& crouch = table.entries[1];
  crouch.valid = true;
  crouch.name = u"crouch";
  crouch.sliderEnabled[5] = true;
  crouch.values[5] = -300;
  crouch.servoMask = 0x20000000;
  BasePose& after = table.entries[3];  // after the first invalid entry: not written
  after.valid = true;
  after.name = u"lost";

  const std::u16string expected =
      u"MAINDEFPOS_NUM:[1]\n"
      u"\n"
      u"DEFPOS:[[直立]]\n"
      u"AXISENABLE:[0,2,61]\n"
      u"SERVOENABLE:[110000000000000000000000000000]\n"
      u"DEFPOS_VALUE:[0x0010,0xffff,0x7fff]\n"
      u"\n"
      u"DEFPOS:[[crouch]]\n"
      u"AXISENABLE:[5]\n"
      u"SERVOENABLE:[000000000000000000000000000001]\n"
      u"DEFPOS_VALUE:[0xfed4]\n"
      u"\n";

  TempDir dir;
  ASSERT_TRUE(saveBasePoses(dir / "medit_defpos.ini", table));
  EXPECT_EQ(testing::readBytes(dir / "medit_defpos.ini"), writtenForm(expected));
}

TEST(GoldenFiles, RomSettingsFile) {
  CpuSettings settings;
  settings.controlPeriod = 10000;
  settings.batteryAlarm = 4004;
  settings.batteryShutdown = 65535;
  settings.voiceOutput = 1;
  settings.amplifier = 0x81;
  settings.voiceVariable = 30;
  settings.bootTimer = -1;
  settings.padType = 3;
  settings.cn6Type = 2;
  settings.cn7Type = 1;
  settings.controllerServoOn = 1;
  settings.interpolation[0] = 1;
  settings.interpolation[61] = 4;
  ServoRecord& head = settings.servos[0];
  head.name = u"頭";
  head.variableA = 1;
  head.term1Va = 2;
  head.term1Vb = 3;
  head.lowerLimit = -900;
  head.upperLimit = 1350;
  head.powerOnTimer = 10;
  head.coefficient = 32767;
  head.term1Coefficient = -5;
  head.base = 65000;
  head.torqueOffVariable = 62;
  head.torqueOffBits = 0x80;
  head.termCoefficient = {11, -12, 13};
  head.termVa = {4, 5, 6};
  head.termVb = {7, 8, 9};
  head.validity = 0x26;
  DeviceEntry& gyro = settings.devices[0];
  gyro.used = 1;
  gyro.type = 0x0100;
  gyro.size = 9;
  gyro.busAddress = 0x90;
  gyro.statusVariable = 128;
  gyro.parameters = {129, 0, 255};
  settings.devices[2] = gyro;  // behind an unused slot: not written

  std::u16string expected =
      u"MASTER_CLOCK:[10000]\n"
      u"BATTERY_SETTING:[4.0040]-[65.5350]\n"
      u"VOICE_SETTING:[1]-[129]-[30]\n"
      u"BOOTTIMER:[-1]\n"
      u"DEFAULT_PADTYPE:[3]\n"
      u"DEFAULT_CN6_7_TYPE:[2]-[1]\n"
      u"CTRLSVONMODE:[1]\n"
      u"INTERPOlATION_SETTING:[1," + repeated(u"0", 60, u",") + u",4]\n"
      u"\n"
      u"MOTORNAME:[[頭]]\n"
      u"MOTOR_VARINDEX:[1]-[2]-[3]\n"
      u"MOTOR_LIMIT:[-900]-[1350]\n"
      u"MOTOR_PWON_DELAY:[10]\n"
      u"MOTOR_COEFFICIENT:[32767]-[-5]\n"
      u"MOTOR_BASE:[65000]\n"
      u"MOTOR_ENABLEVALUE:[62]-[128]\n"
      u"MOTOR_ADDCALC:[0]-[11]-[4]-[7]\n"
      u"MOTOR_ADDCALC:[1]-[-12]-[5]-[8]\n"
      u"MOTOR_ADDCALC:[2]-[13]-[6]-[9]\n"
      u"MOTOR_SIGNBIT:[38]\n"
      u"\n";
  const std::u16string emptyServo =
      u"MOTORNAME:[[]]\n"
      u"MOTOR_VARINDEX:[0]-[0]-[0]\n"
      u"MOTOR_LIMIT:[0]-[0]\n"
      u"MOTOR_PWON_DELAY:[0]\n"
      u"MOTOR_COEFFICIENT:[0]-[0]\n"
      u"MOTOR_BASE:[0]\n"
      u"MOTOR_ENABLEVALUE:[0]-[0]\n"
      u"MOTOR_ADDCALC:[0]-[0]-[0]-[0]\n"
      u"MOTOR_ADDCALC:[1]-[0]-[0]-[0]\n"
      u"MOTOR_ADDCALC:[2]-[0]-[0]-[0]\n"
      u"MOTOR_SIGNBIT:[0]\n"
      u"\n";
  for (int i = 1; i < kServoOutputCount; ++i) expected += emptyServo;
  expected +=
      u"\n"
      u"_KP_DEVICE_TYPE:[0x0100]\n"
      u"_KP_DEVICE_SIZE:[9]\n"
      u"_KP_DEVICE_BUSADDR:[0x0090]\n"
      u"_KP_DEVICE_VALUEINDEX:[128]\n"
      u"_KP_DEVICE_PARAMETER:[129,0,255]\n"
      u"\n";

  TempDir dir;
  ASSERT_TRUE(saveRomSettings(dir / "medit_rom.ini", settings));
  EXPECT_EQ(testing::readBytes(dir / "medit_rom.ini"), writtenForm(expected));
}

TEST(GoldenFiles, DisplaySettingsFile) {
  DisplaySettings settings;
  settings.toolbarButtons[0] = settings.toolbarButtons[3] = settings.toolbarButtons[25] = true;
  settings.statusWindowX = 100;
  settings.statusWindowY = -20;
  settings.colours.text = 0x123456;
  settings.motionAreaFont.escapement = settings.motionAreaFont.orientation = 9;
  settings.motionAreaFont.underline = 1;
  settings.gridX = 10;
  settings.gridY = 8;
  settings.skins[0] = SkinFile{1, u"skin\\pose_background.bmp"};
  settings.skins[6] = SkinFile{0, u"me_image\\checkbtn_.bmp"};
  settings.serialPort = 3;
  settings.serialTimeout = 500;
  AppStatus status;
  status.set(status::kToolbar | status::kStatusWindow | status::kPoseWallpaper | status::kUnknownAxisKeep |
                 status::kNoCentreBarToggle | status::kBasePoseSelectedOnly,
             true);

  std::u16string expected =
      u"_TOOLBAR_ENABLE:[1]-[0,3,25]\n"
      u"_STATUSWINDOW_ENABLE:[1]-[100]-[-20]\n"
      u"_UNKNOWNAXIS_PARAMLOAD:[1]\n"
      u"_DOUBLECLK_LINEMOV:[1]\n"
      u"_SPACE_GAINOFF_FLAG:[0]\n"
      u"_INIPOSSEL:[1]\n"
      u"_VOICE_ERRORMES_FLG:[0]\n"
      u"MOTAREA_COLOR:[16763080]-[16777139]-[0]-[1193046]-[12583104]-[16711680]-[255]-[11796479]-[16757759]\n"
      u"MOTAREA_FONT:[-12]-[0]-[9]-[1]-[49]-[128]-[3]-[2]-[700]-[2]-[[MS UI Gothic]]\n"
      u"\n"
      u"MOTAREA_GRID:[10]-[8]_WALLPAPER_ENABLE:[1]-[0]\n"
      u"\n";
  for (int slot = 0; slot < kSkinSlotCount; ++slot) {
    const std::u16string flagAndPath = slot == 0   ? u"[1]-[[skin\\pose_background.bmp]]"
                                       : slot == 6 ? u"[0]-[[me_image\\checkbtn_.bmp]]"
                                                   : u"[0]-[[]]";
    expected += u"_SKINDATA_FILEPATH:[" + decimal(slot) + u"]-" + flagAndPath + u"\n\n";
  }
  expected += u"COMPORT:[3]\n"
              u"COMTIMEOUT:[500]\n";

  TempDir dir;
  ASSERT_TRUE(saveDisplaySettings(dir / "medit_sys.ini", settings, status));
  EXPECT_EQ(testing::readBytes(dir / "medit_sys.ini"), writtenForm(expected));
}

}  // namespace
}  // namespace kv
