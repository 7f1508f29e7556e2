// Icon 128, cursor 154, bitmap 169, the version block and the manifest.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ResourceTest.h"
#include "resources/resource.h"

namespace keymoor::test {
namespace {

// Layout of an RT_GROUP_ICON directory entry in a module's resources.
#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colorCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInRes;
  WORD id;
};
struct GroupIconDir {
  WORD reserved, type, count;
  GroupIconEntry entries[1];
};
#pragma pack(pop)

// Raw bytes of a resource of this module (resources stay mapped for the module's life).
std::string ResourceBytes(LPCSTR id, LPCSTR type) {
  HRSRC found = FindResourceA(Module(), id, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(Module(), found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  return data ? std::string(static_cast<const char*>(data), SizeofResource(Module(), found)) : std::string();
}

TEST(AppIcon, HoldsAnImageForEveryCommonScaleUpTo256Pixels) {
  const std::vector<int> expected{16, 20, 24, 32, 40, 48, 64, 256};
  std::string bytes = ResourceBytes(MAKEINTRESOURCEA(IDI_APP), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
  ASSERT_GE(bytes.size(), 6 + expected.size() * sizeof(GroupIconEntry));
  auto dir = reinterpret_cast<const GroupIconDir*>(bytes.data());
  EXPECT_EQ(dir->type, 1);
  ASSERT_EQ(dir->count, expected.size());
  std::vector<int> sizes;
  for (int i = 0; i < dir->count; ++i) {
    const GroupIconEntry& e = dir->entries[i];
    EXPECT_EQ(e.width, e.height);
    const int size = e.width == 0 ? 256 : e.width;
    EXPECT_EQ(e.bitCount, size == 256 ? 32 : 24) << size;  // the largest is a PNG image with alpha
    sizes.push_back(size);
  }
  EXPECT_EQ(sizes, expected);

  // Each size loads as a colour icon of exactly that size.
  for (int size : expected) {
    SCOPED_TRACE(size);
    UniqueIcon icon(static_cast<HICON>(LoadImageA(Module(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON, size, size, 0)));
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    IconBitmaps bitmaps(info);
    EXPECT_TRUE(info.fIcon);
    ASSERT_TRUE(info.hbmColor);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(info.hbmColor, sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, size);
    EXPECT_EQ(bm.bmHeight, size);
  }
}

TEST(HandCursor, IsA32PixelMonochromeCursorWithTheHotSpotAtTheFingertip) {
  HCURSOR cursor = LoadCursorA(Module(), MAKEINTRESOURCEA(IDCUR_HAND));  // shared, not destroyed
  ASSERT_TRUE(cursor);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  IconBitmaps bitmaps(info);
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 5u);
  EXPECT_EQ(info.yHotspot, 0u);
  // Monochrome: no colour bitmap; the mask holds the AND and XOR halves one above the other.
  EXPECT_EQ(info.hbmColor, nullptr);
  ASSERT_TRUE(info.hbmMask);
  BITMAP bm{};
  ASSERT_TRUE(GetObjectA(info.hbmMask, sizeof bm, &bm));
  EXPECT_EQ(bm.bmWidth, 32);
  EXPECT_EQ(bm.bmHeight, 64);
  EXPECT_EQ(bm.bmBitsPixel, 1);

  // The hot spot is on the drawn finger, not on a transparent pixel: AND bit 0 there.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, info.hbmMask);
  EXPECT_EQ(GetPixel(dc, 5, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 255, 255)) << "the corner is transparent";
  SelectObject(dc, old);
  DeleteDC(dc);
}

TEST(AboutPicture, Is65By274At24Bits) {
  UniqueBitmap bitmap(static_cast<HBITMAP>(
      LoadImageA(Module(), MAKEINTRESOURCEA(IDB_ABOUT_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  ASSERT_TRUE(bitmap);
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectA(bitmap.get(), sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmWidth, 65);
  EXPECT_EQ(dib.dsBm.bmHeight, 274);
  EXPECT_EQ(dib.dsBmih.biBitCount, 24);
}

std::string VersionString(const std::vector<char>& block, const char* name) {
  void* value = nullptr;
  UINT length = 0;
  std::string path = std::string("\\StringFileInfo\\040904E4\\") + name;
  if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || !value) return {};
  return static_cast<const char*>(value);
}

TEST(VersionBlock, NamesKeymoor2) {
  char exe[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, exe, sizeof exe), 0u);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(exe, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 2));
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 2));
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  EXPECT_EQ(VersionString(block, "ProductName"), "Keymoor");
  EXPECT_EQ(VersionString(block, "ProductVersion"), "2.0.0.0");
  EXPECT_EQ(VersionString(block, "FileVersion"), "2.0.0.0");
  EXPECT_EQ(VersionString(block, "OriginalFilename"), "keymoor.exe");
  EXPECT_FALSE(VersionString(block, "CompanyName").empty());
  EXPECT_FALSE(VersionString(block, "FileDescription").empty());
}

TEST(Manifest, AsksForCommonControls6AsInvoker) {
  std::string manifest = ResourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);

  // The loader honoured it: the dialog's buttons are version 6 buttons, which alone answer
  // BCM_GETIDEALSIZE. (comctl32's DllGetVersion cannot tell: Wine's reports 5 in either case.)
  UniqueWindow dialog = CreateTemplate(IDD_ABOUT);
  ASSERT_TRUE(dialog);
  SIZE ideal{};
  EXPECT_TRUE(SendMessageA(GetDlgItem(dialog.get(), IDOK), BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
  EXPECT_GT(ideal.cx, 0);
}

}  // namespace
}  // namespace keymoor::test
