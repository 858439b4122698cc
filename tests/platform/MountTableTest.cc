#include "platform/posix/MountTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/DiskSpace.h"

namespace qel {
namespace {

using Roots = std::vector<std::string>;

// What a desktop with a container runtime and a few disks shows.
constexpr const char* kDesktopMounts =
    "sysfs /sys sysfs rw,nosuid,nodev,noexec,relatime 0 0\n"
    "proc /proc proc rw,nosuid,nodev,noexec,relatime 0 0\n"
    "udev /dev devtmpfs rw,nosuid,relatime,size=8131232k,nr_inodes=2032808,mode=755 0 0\n"
    "/dev/nvme0n1p2 / ext4 rw,relatime,errors=remount-ro 0 0\n"
    "tmpfs /run tmpfs rw,nosuid,nodev,noexec,relatime,size=1631628k,mode=755 0 0\n"
    "/dev/nvme0n1p1 /boot/efi vfat rw,relatime,fmask=0077,dmask=0077,codepage=437 0 0\n"
    "/dev/sdb1 /mnt/data\\040disk ext4 rw,relatime 0 0\n"
    "/dev/loop3 /snap/core22/1122 squashfs ro,nodev,relatime,errors=continue 0 0\n"
    "/dev/sr0 /media/user/CDROM iso9660 ro,nosuid,nodev,relatime,uid=1000 0 0\n"
    "overlay /var/lib/docker/overlay2/abc/merged overlay rw,relatime,lowerdir=/l,upperdir=/u 0 0\n"
    "/dev/sdc1 /home ext4 rw,relatime 0 0\n"
    "/dev/sdb1 /mnt/data\\040disk ext4 rw,relatime 0 0\n"
    "/dev/loop7 /mnt/image xfs rw,relatime 0 0\n"
    "tmpfs /tmp tmpfs rw,nosuid,nodev 0 0\n";

TEST(MountTableTest, FallbackRootsAreWritableBlockDeviceMountsExceptTheRoot) {
  // Pseudo file systems, the overlay, the root and read-only media drop out;
  // the doubled mount counts once; escaped spaces are restored.
  EXPECT_EQ(FallbackInstallRootsFrom(kDesktopMounts),
            (Roots{"/boot/efi/", "/mnt/data disk/", "/home/", "/mnt/image/"}));
}

TEST(MountTableTest, FallbackRootsFromAContainerWithAnOverlayRoot) {
  // Bind mounts of single files show the host's disk; "ro" must be a whole option.
  EXPECT_EQ(FallbackInstallRootsFrom(
                "overlay / overlay rw,relatime,lowerdir=/var/lib/x,upperdir=/y,workdir=/z 0 0\n"
                "/dev/vda1 /etc/hosts ext4 rw,relatime,errors=remount-ro 0 0\n"
                "/dev/vda1 /data ext4 ro,relatime 0 0\n"
                "/dev/vda1 /cache ext4 rw,nosuid,ro 0 0\n"
                "/dev/vda1 /work ext4 rw,errors=remount-ro,relatime 0 0"),
            (Roots{"/etc/hosts/", "/work/"}));
}

TEST(MountTableTest, FallbackRootsReadEscapesAndOddLinesSafely) {
  EXPECT_EQ(FallbackInstallRootsFrom("/dev/sda1 /a\\011tab\\134back\\040 ext4 rw 0 0\n"
                                     "/dev/sda2 /not\\04x/octal ext4 rw 0 0\n"
                                     "/dev/sda3 /ends\\04 ext4 rw 0 0\n"
                                     "/dev/sda4 /short\n"
                                     "\n"
                                     "   \n"
                                     "/dev/sda5\t/tabbed\text4\trw\t0\t0\n"
                                     "/dev/sda6 /mnt/already/ ext4 rw 0 0\n"),
            (Roots{"/a\ttab\\back /", "/not\\04x/octal/", "/ends\\04/", "/tabbed/",
                   "/mnt/already/"}));
  EXPECT_TRUE(FallbackInstallRootsFrom("").empty());
}

TEST(MountTableTest, FallbackRootsStopAtTheMostThatAreTried) {
  std::string table = "/dev/sda1 / ext4 rw 0 0\n";
  Roots expected;
  for (int disk = 0; disk < 15; ++disk) {
    const std::string root = "/srv/disk" + std::to_string(disk);
    table += "/dev/sd" + std::string(1, static_cast<char>('b' + disk)) + "1 " + root + " ext4 rw 0 0\n";
    if (expected.size() < kMaxFallbackRoots) expected.push_back(root + "/");
  }
  ASSERT_EQ(kMaxFallbackRoots, 12u);
  EXPECT_EQ(FallbackInstallRootsFrom(table), expected);
}

TEST(MountTableTest, DuplicatesDoNotTakeThePlacesOfLaterRoots) {
  std::string table;
  for (int repeat = 0; repeat < 20; ++repeat) table += "/dev/sdb1 /srv/same ext4 rw 0 0\n";
  table += "/dev/sdc1 /srv/other ext4 rw 0 0\n";
  EXPECT_EQ(FallbackInstallRootsFrom(table), (Roots{"/srv/same/", "/srv/other/"}));
}

}  // namespace
}  // namespace qel
