// Data sets for the map charge's tests; see MapDataTestSupport.h.
#include "MapDataTestSupport.h"

#include <cstring>
#include <iostream>

#include "ConfImageBuilder.h"
#include "Folders.h"
#include "MapChargeTestSupport.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "ProbeFixture.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "files/CoreDownloadManage.h"

namespace mapdata {
namespace {

std::string Slashed(std::string path) {
  ReplaceAll(path, "\\", "/");
  return path;
}

std::string PieceName(const std::string& name, size_t index) {
  return name + FormatString(".%03d", static_cast<int>(index));
}

// The pieces of one file as the server keeps them.
std::vector<std::string> PiecesOf(const DataFile& file) {
  const uint16_t mode = file.flags & 0x6000;
  if (mode == 0x2000) return ovtest::CutIntoPieces(Gzip(file.content), file.piece_size);
  std::vector<std::string> pieces = ovtest::CutIntoPieces(file.content, file.piece_size);
  if (mode == 0x4000) {
    for (std::string& piece : pieces) piece = Gzip(piece);
  }
  return pieces;
}

}  // namespace

std::string Pattern(size_t size) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = ovtest::StandInPatternByte(i);
  return out;
}

std::string Gzip(const std::string& bytes) { return probetest::Gzip(bytes); }

CDataImage& CDataImage::File(const std::string& name, const std::string& content, size_t piece_size,
                             uint16_t flags) {
  DataFile file;
  file.name = name;
  file.content = content;
  file.piece_size = piece_size;
  file.flags = flags;
  return File(file);
}

std::string CDataImage::Build() const {
  ovtest::CConfImageBuilder builder;
  builder.Title("test data set").Path(_path);
  for (const DataFile& file : _files) {
    ovtest::ConfFileSpec spec;
    spec.name = file.name;
    spec.size = static_cast<uint32_t>(file.content.size());
    spec.flags = file.flags;
    spec.value16 = static_cast<uint16_t>(NPCrcCalc::Of(file.content.data(), file.content.size()) ^
                                         file.crc_xor);
    spec.pieces = ovtest::PiecesOf(PiecesOf(file));
    builder.File(spec);
  }
  for (const std::string& name : _removals) builder.WholeFile(name, 0);
  for (const std::string& name : _nested) builder.String(name);
  return builder.Build();
}

NamedBytes CDataImage::Pieces() const {
  NamedBytes out;
  for (const DataFile& file : _files) {
    const std::vector<std::string> pieces = PiecesOf(file);
    for (size_t i = 0; i < pieces.size(); ++i) {
      out.emplace_back(_path + PieceName(file.name, i), pieces[i]);
    }
  }
  return out;
}

NamedBytes CDataImage::CardFiles() const {
  NamedBytes out;
  for (const DataFile& file : _files) {
    if (!(file.flags & 0x400)) out.emplace_back(_path + file.name, file.content);
  }
  return out;
}

uint64_t CDataImage::PiecesSize() const {
  uint64_t total = 0;
  for (const auto& piece : Pieces()) total += piece.second.size();
  return total;
}

std::string PieceUrlPath(const std::string& image_url_path, const std::string& piece) {
  const std::string folder = image_url_path.substr(0, image_url_path.rfind('/') + 1);
  return folder + Slashed(piece);
}

bool Serve(const ovtest::CStandIn& standin, const std::string& url_path, const CDataImage& image) {
  bool ok = standin.Set(url_path, "hex=" + maptest::Hex(image.Build()));
  for (const auto& piece : image.Pieces()) {
    const std::string path = PieceUrlPath(url_path, piece.first);
    // Big pieces of the pattern travel as their size.
    const std::string scenario =
        piece.second.size() > 16384 && piece.second == Pattern(piece.second.size())
            ? FormatString("pattern=%u", static_cast<unsigned>(piece.second.size()))
            : "hex=" + maptest::Hex(piece.second);
    ok = standin.Set(path, scenario) && ok;
  }
  return ok;
}

std::string SetFolder(const std::string& data_folder, uint8_t kind, uint8_t detail,
                      const std::string& name) {
  return data_folder + FormatString("%02x\\%02x\\%s\\", kind, detail, name.c_str());
}

bool LayOut(const std::string& set_folder, const std::string& image_name, const CDataImage& image) {
  if (!CreateDirectories(set_folder)) return false;
  bool ok = ovtest::WriteFileBytes(set_folder + image_name, image.Build());
  for (const auto& piece : image.Pieces()) {
    // Names that climb out are for the gate to refuse, not to be laid out.
    if (piece.first.find("..") != std::string::npos) continue;
    const std::string path = set_folder + piece.first;
    ok = CreateDirectories(path.substr(0, path.rfind('\\') + 1)) && ok;
    ok = ovtest::WriteFileBytes(path, piece.second) && ok;
  }
  return ok;
}

bool Register(const std::string& data_folder, uint8_t kind, uint8_t detail, const std::string& name,
              const std::string& image_name, uint8_t percent) {
  core::CDownloadManageFile manage(data_folder);
  return manage.SetDLManage(kind, detail, name, percent, 0,
                            SetFolder(data_folder, kind, detail, name) + image_name);
}

}  // namespace mapdata

namespace mapdata {

void CMapDataFixture::SetUp() {
  CMapChargeFixture::SetUp();
  if (IsSkipped() || HasFatalFailure()) return;
  mapprogresstest::SetBlockNameTag(standin.Namespace());
  ASSERT_EQ(download_block.Open(MapProgressBlockName(kMapProgressDownload).c_str(), true, 32, true),
            0u);
  ASSERT_EQ(transfer_block.Open(MapProgressBlockName(kMapProgressTransfer).c_str(), true, 32, true),
            0u);
  abort_event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  charge.SetAbortEventForTest(abort_event.Get());
  charge.SetTargetWindow(window.Get());
  data_folder = charge._GetDataFolder();
}

void CMapDataFixture::TearDown() {
  if (HasFailure()) std::cout << "---- log ----\n" << log.Text() << "---- end of log ----\n";
  CMapChargeFixture::TearDown();
}

CDownloadListData CMapDataFixture::Record(uint8_t kind, uint8_t detail, const std::string& version,
                                          uint64_t size, uint8_t order) {
  CDownloadListData record;
  record.data_kind = kind;
  record.detail = detail;
  record.version = version;
  record.year = 2012;
  record.size = size;
  record.order = order;
  return record;
}

std::string CMapDataFixture::ImageUrlPath(const CDownloadListData& record,
                                          const std::string& image) {
  return FormatString("/mapdata/%02X/%02X/%s/%s", record.data_kind, record.detail,
                      record.version.c_str(), image.c_str());
}

void CMapDataFixture::Plan(const std::vector<CDownloadListData>& records, CDownloadList* list,
                           std::vector<core::ConnectionParameterData>* parameters) const {
  list->Clear();
  parameters->clear();
  for (const CDownloadListData& record : records) {
    list->Append(record);
    core::ConnectionParameterData one;
    one.SetConfUrlParameter(charge.GetCcidHead(), charge.GetUnitDeviceNo().c_str(),
                            record.data_kind, record.detail, record.version.c_str());
    parameters->push_back(one);
  }
}

MapProgressWords CMapDataFixture::ReadBlock(uint32_t phase) const {
  MapProgressWords words;
  ::CBlockShareMem reader;
  EXPECT_EQ(reader.Open(MapProgressBlockName(phase).c_str()), 0u);
  if (!reader.GetView()) return words;
  EXPECT_EQ(WaitForSingleObject(reader.GetMutex(), 5000), WAIT_OBJECT_0);
  memcpy(words.words, reader.GetView(), sizeof(words.words));
  ReleaseMutex(reader.GetMutex());
  return words;
}

void CMapDataFixture::Drain() const {
  coretest::PumpUntil([] { return false; }, 0);
}

std::vector<ovtest::StandInRequest> CMapDataFixture::RequestsUnder(
    const std::string& prefix) const {
  std::vector<ovtest::StandInRequest> out;
  for (const ovtest::StandInRequest& request : standin.Requests()) {
    if (request.path.compare(0, prefix.size(), prefix) == 0) out.push_back(request);
  }
  return out;
}

size_t CMapDataFixture::CountRequests(const std::string& path) const {
  size_t count = 0;
  for (const ovtest::StandInRequest& request : standin.Requests()) count += request.path == path;
  return count;
}

}  // namespace mapdata
