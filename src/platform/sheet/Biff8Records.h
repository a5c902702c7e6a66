#pragma once

#include <QtGlobal>

// The record numbers of Excel 97-2003 workbook streams (BIFF8, and the BIFF5 records that share them),
// for the reader and the writer alike.
namespace tavlo::sheet::biff8 {

enum RecordType : quint16 {
    kFormula = 0x0006,
    kEof = 0x000A,
    kPrecision = 0x000E,
    kDate1904 = 0x0022,
    kFilePass = 0x002F,
    kFont = 0x0031,
    kContinue = 0x003C,
    kWindow1 = 0x003D,
    kBackup = 0x0040,
    kCodepage = 0x0042,
    kDefColWidth = 0x0055,
    kColInfo = 0x007D,
    kBoundSheet = 0x0085,
    kHideObj = 0x008D,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kBookBool = 0x00DA,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kExtSst = 0x00FF,
    kRefreshAll = 0x01B7,
    kDimensions = 0x0200,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRow = 0x0208,
    kArray = 0x0221,
    kWindow2 = 0x023E,
    kRk = 0x027E,
    kStyle = 0x0293,
    kFormat = 0x041E,
    kShrFmla = 0x04BC,
    kBof = 0x0809,
};

// BOF versions and substream kinds.
inline constexpr quint16 kBiff8Version = 0x0600;
inline constexpr quint16 kBiff5Version = 0x0500;
inline constexpr quint16 kGlobalsSubstream = 0x0005;
inline constexpr quint16 kWorksheetSubstream = 0x0010;

// The most payload bytes one record carries.
inline constexpr int kMaxRecordData = 8224;

// Options of a FORMULA record.
inline constexpr quint16 kFormulaCalcOnLoad = 0x0002;
inline constexpr quint16 kFormulaShared = 0x0008;

} // namespace tavlo::sheet::biff8
