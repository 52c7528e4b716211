#include "workbook/Workbook.h"

#include <windows.h>

#include "convert/Worksheet.h"
#include "framework/Application.h"
#include "framework/Unicode.h"

namespace {

constexpr long kLastCellType = 11;  // Excel's xlCellTypeLastCell

const char kEditingText[] = "Текущая ячейка находится в режиме редактирования. Закончите редактирование!";
const char kWriteBackFailedText[] =
    "Ошибка при сохранении файла! Возможно текущая ячейка находится в режиме редактирования.";

bool FileExists(const AnsiString& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

AnsiString TextOf(const Variant& value) {
  Variant text = value.ChangeType(VT_BSTR);
  BSTR b = V_BSTR(&text.Get());
  return WideToAnsi(b, b ? SysStringLen(b) : 0);
}

void Warn(const AnsiString& text, const AnsiString& caption) {
  Application->MessageBox(text, caption, kWorkbookWarningFlags);
}

// The container's automation object's "Application"."ActiveWorkbook": the
// workbook as Excel sees it now.
Variant CurrentWorkbook(const IOleContainerOps& ole) {
  return ole.OleObject().OlePropertyGet("Application").OlePropertyGet("ActiveWorkbook");
}

// Saves the workbook to tempPath and copies that over the source file. The
// workbook is an embedded copy, so this is the only road back to the file.
bool WriteBack(const SExcelApp& excel, const AnsiString& tempPath) {
  try {
    // Excel would ask before overwriting an existing file.
    DeleteFileA(tempPath.c_str());
    excel.ActiveWorkbook.OleProcedure("SaveAs", tempPath);
    // A read-only or locked source refuses the copy: the edits would be lost
    // if the window were let go, so it is refused like any failed save.
    // Windows refuses to copy over a read-only file; Wine run by root does
    // not, so the attribute is asked first.
    DWORD target = GetFileAttributesA(excel.FileName.c_str());
    bool readOnly = target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_READONLY);
    BOOL copied = !readOnly && CopyFileA(tempPath.c_str(), excel.FileName.c_str(), FALSE);
    DeleteFileA(tempPath.c_str());
    if (copied) return true;
  } catch (...) {
    DeleteFileA(tempPath.c_str());
  }
  Application->MessageBox(kWriteBackFailedText, "Ошибка", kWorkbookWarningFlags);
  return false;
}

}  // namespace

bool OpenWorkbook(IOleContainerOps& ole, SExcelApp& excel, const AnsiString& path, const AnsiString& caption,
                  const std::function<void()>& showContainer) {
  const AnsiString failure = "Ошибка при открытии файла " + path + "!";
  try {
    if (!FileExists(path)) {
      Warn("Файл: " + path + " не найден!", caption);
      return false;
    }
    if (showContainer) showContainer();
    if (ole.State() != osEmpty) {
      ole.Close();
      ole.SetEnabled(false);
      excel.Clear();
    }
    ole.SetEnabled(true);
    ole.CreateObjectFromFile(path, false);
    ole.DoVerb(0);
    excel.App = ole.OleObject().OlePropertyGet("Application");
    excel.ActiveWorkbook = excel.App.OlePropertyGet("ActiveWorkbook");
    excel.WorkSheets = excel.ActiveWorkbook.OlePropertyGet("WorkSheets");
    excel.ActiveSheet = excel.ActiveWorkbook.OlePropertyGet("ActiveSheet");
    // A freshly loaded workbook counts as not modified.
    excel.ActiveWorkbook.OlePropertySet("Saved", true);
    excel.FileName = path;
    return true;
  } catch (const EOleContainerError& e) {
    Warn(e.Reason().empty() ? failure : failure + "\n" + e.Reason(), caption);
  } catch (...) {
    Warn(failure, caption);
  }
  return false;
}

bool ListSheets(const IOleContainerOps& ole, const SExcelApp& excel, std::vector<AnsiString>& names,
                const AnsiString& caption) {
  if (ole.State() == osEmpty) return false;
  try {
    long count = excel.WorkSheets.OlePropertyGet("Count").AsInteger();
    names.clear();
    for (long i = 1; i <= count; ++i)
      names.push_back(TextOf(excel.WorkSheets.OlePropertyGet("Item", i).OlePropertyGet("Name")));
    return true;
  } catch (...) {
    Warn("Ошибка при получении списка листов Excel!", caption);
    return false;
  }
}

bool SwitchSheet(const IOleContainerOps& ole, SExcelApp& excel, int itemIndex) {
  if (ole.State() == osEmpty) return false;
  excel.ActiveSheet = excel.WorkSheets.OlePropertyGet("Item", itemIndex + 1);
  excel.ActiveSheet.OleProcedure("Activate");
  return true;
}

int FollowActiveSheet(const IOleContainerOps& ole, SExcelApp& excel, bool keepActiveSheet) {
  if (ole.State() == osEmpty) return 0;
  try {
    Variant book = CurrentWorkbook(ole);
    Variant sheet = book.OlePropertyGet("ActiveSheet");
    if (!keepActiveSheet) excel.ActiveSheet = book.OlePropertyGet("ActiveSheet");
    long index = sheet.OlePropertyGet("Index").AsInteger();
    return index >= 1 ? static_cast<int>(index) : 0;
  } catch (...) {
    // The next tick tries again; Excel may just be busy.
    return 0;
  }
}

TEditProbe ProbeCellEditing(const SExcelApp& excel) {
  try {
    excel.ActiveSheet.OlePropertyGet("Cells").OlePropertyGet("SpecialCells", kLastCellType).OlePropertyGet("Row");
    return TEditProbe::Idle;
  } catch (const EOleException& e) {
    return IsServerGone(e.ErrorCode()) ? TEditProbe::ServerGone : TEditProbe::Editing;
  } catch (...) {
    return TEditProbe::Editing;
  }
}

bool IsCellEditing(const SExcelApp& excel, const AnsiString& caption) {
  if (ProbeCellEditing(excel) != TEditProbe::Editing) return false;
  Warn(kEditingText, caption);
  return true;
}

AnsiString WriteBackTempPath() {
  AnsiString exe = Application->ExeName();
  return exe.substr(0, exe.find_last_of("\\/:") + 1) + "tmp0001.xls";
}

bool QuerySaveWorkbook(const IOleContainerOps& ole, SExcelApp& excel, const AnsiString& caption,
                       const AnsiString& tempPath) {
  if (ole.State() == osEmpty) return true;
  // An open that did not complete leaves nothing to probe or to save to;
  // refusing would hold the window forever.
  if (excel.ActiveWorkbook.IsEmpty() || excel.ActiveSheet.IsEmpty() || excel.FileName.empty()) return true;
  switch (ProbeCellEditing(excel)) {
    case TEditProbe::Editing:
      Warn(kEditingText, caption);
      return false;
    case TEditProbe::ServerGone:
      // Excel is gone and its edits with it: nothing can be saved any more.
      return true;
    case TEditProbe::Idle:
      break;
  }
  bool modified = true;
  try {
    Variant saved = excel.ActiveWorkbook.OlePropertyGet("Saved").ChangeType(VT_BOOL);
    modified = V_BOOL(&saved.Get()) == VARIANT_FALSE;
  } catch (const EOleException& e) {
    if (IsServerGone(e.ErrorCode())) return true;
  } catch (...) {
  }
  if (!modified) return true;
  int answer = Application->MessageBox("Сохранить изменения?", caption, kWorkbookQuestionFlags);
  if (answer == IDCANCEL) return false;
  if (answer != IDYES) return true;
  return WriteBack(excel, tempPath);
}

void CloseWorkbookObject(IOleContainerOps& ole, SExcelApp& excel, const AnsiString& caption,
                         const AnsiString& tempPath) {
  // The embedded window closes whatever the answer: the result is only advice.
  QuerySaveWorkbook(ole, excel, caption, tempPath);
  ole.Close();
  ole.Refresh();
}

void ReleaseWorkbook(IOleContainerOps& ole, SExcelApp& excel) {
  if (!excel.App.IsEmpty()) {
    try {
      excel.App.OleProcedure("Quit");
    } catch (...) {
      // A server that has gone cannot quit; the references must go all the same.
    }
  }
  excel.Clear();
  try {
    ole.DestroyObject();
  } catch (...) {
    // Runs while the window is destroyed: nothing may escape from here.
  }
}

bool IsWorkbookRunning(const IOleContainerOps& ole) {
  TObjectState state = ole.State();
  return state != osEmpty && state != osLoaded;
}
