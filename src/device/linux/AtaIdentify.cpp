#include "device/linux/AtaIdentify.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>

#include "device/WindowsLayouts.h"

namespace kalvorin::device::linuxbackend {
namespace {

constexpr unsigned kTimeoutMilliseconds = 3000;
constexpr std::uint8_t kCheckCondition = 0x02;

// Some translators answer a successful pass-through with CHECK CONDITION,
// RECOVERED ERROR, "ATA pass-through information available".
bool IsPassThroughInformation(const std::uint8_t* sense, unsigned length) {
  if (length < 4) return false;
  const std::uint8_t format = sense[0] & 0x7F;
  if (format == 0x72 || format == 0x73) {
    return (sense[1] & 0x0F) == 0x01 && sense[2] == 0x00 && sense[3] == 0x1D;
  }
  if ((format == 0x70 || format == 0x71) && length >= 14) {
    return (sense[2] & 0x0F) == 0x01 && sense[12] == 0x00 && sense[13] == 0x1D;
  }
  return false;
}

}  // namespace

bool IdentifyDataLooksValid(const IdentifyData& data) {
  if (std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b == 0; })) return false;
  if ((data[1] & 0x80) != 0) return false;  // word 0 bit 15: not an ATA device
  if (data[510] == 0xA5) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : data) sum = static_cast<std::uint8_t>(sum + b);
    if (sum != 0) return false;
  }
  return true;
}

bool SendAtaIdentify(int fd, IdentifyData& data) {
  data.fill(0);
  std::uint8_t cdb[16] = {};
  cdb[0] = 0x85;    // ATA PASS-THROUGH (16)
  cdb[1] = 4 << 1;  // protocol: PIO data-in
  cdb[2] = 0x0E;    // T_DIR from the device, length in blocks, in the sector count
  cdb[6] = 1;       // sector count
  cdb[14] = kAtaIdentifyDevice;
  std::uint8_t sense[32] = {};
  sg_io_hdr_t request{};
  request.interface_id = 'S';
  request.dxfer_direction = SG_DXFER_FROM_DEV;
  request.cmd_len = sizeof cdb;
  request.cmdp = cdb;
  request.mx_sb_len = sizeof sense;
  request.sbp = sense;
  request.dxfer_len = static_cast<unsigned>(data.size());
  request.dxferp = data.data();
  request.timeout = kTimeoutMilliseconds;
  int result;
  do {
    result = ::ioctl(fd, SG_IO, &request);
  } while (result != 0 && errno == EINTR);
  if (result != 0 || request.host_status != 0 || (request.driver_status & ~0x08) != 0) {
    return false;
  }
  const bool clean = request.status == 0 && request.masked_status == 0;
  const bool informational =
      request.status == kCheckCondition && IsPassThroughInformation(sense, request.sb_len_wr);
  if ((!clean && !informational) || request.resid != 0) return false;
  return IdentifyDataLooksValid(data);
}

}  // namespace kalvorin::device::linuxbackend
