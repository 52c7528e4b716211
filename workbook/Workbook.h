#pragma once
// The workbook control's work over an OLE container and the Excel references
// record, for the main window's members of the same names to hand on to:
// open the workbook and take its references, list and follow its sheets,
// probe edit mode, write unsaved edits back, let Excel go. No window here:
// the caller passes its caption for the message boxes and moves its own
// controls.
#include <functional>
#include <vector>

#include "framework/AnsiString.h"
#include "framework/OleContainerOps.h"
#include "workbook/ExcelApp.h"

constexpr unsigned kWorkbookWarningFlags = 0x42030;   // OK, exclamation, task-modal, topmost
constexpr unsigned kWorkbookQuestionFlags = 0x42023;  // Yes/No/Cancel, question, task-modal, topmost

// OpenExcelFile: embeds the file and fills the record. showContainer runs
// once the file was found, before the container is touched (the window places
// and shows the embedded window there). On failure shows the not-found or the
// open-failure message (a reason from the container on a second line) and
// returns false; what was done before the failure stays.
bool OpenWorkbook(IOleContainerOps& ole, SExcelApp& excel, const AnsiString& path, const AnsiString& caption,
                  const std::function<void()>& showContainer = {});

// FillExcelPages: names receives the sheet names in order (item k stands for
// WorkSheets.Item(k + 1)). False without a message when the container is
// empty; false with the message on failure, the names read so far kept.
bool ListSheets(const IOleContainerOps& ole, const SExcelApp& excel, std::vector<AnsiString>& names,
                const AnsiString& caption);

// cmbExcelPageChange: makes item itemIndex (from 0) the active sheet. False
// when the container is empty (nothing done). Failures are raised.
bool SwitchSheet(const IOleContainerOps& ole, SExcelApp& excel, int itemIndex);

// tmrExcelPageTimer: the Index (from 1) of the sheet active in Excel, or 0
// when the container is empty or anything failed (silently). The record's
// ActiveSheet follows Excel's, unless keepActiveSheet: a running conversion
// keeps reading the sheet it started on.
int FollowActiveSheet(const IOleContainerOps& ole, SExcelApp& excel, bool keepActiveSheet);

enum class TEditProbe { Idle, Editing, ServerGone };
// Excel refuses automation calls while a cell is being edited: any failure
// of ActiveSheet.Cells.SpecialCells(11).Row counts as editing, except that a
// vanished server is told apart.
TEditProbe ProbeCellEditing(const SExcelApp& excel);

// IsCellEditing: true (after the edit-mode message) when the probe says a
// cell is being edited. A vanished server is no edit: false, no message.
bool IsCellEditing(const SExcelApp& excel, const AnsiString& caption);

// The write-back's temporary file: the executable's folder + "tmp0001.xls".
AnsiString WriteBackTempPath();

// QuerySaveExcel: true when the caller may go on (close, convert). Refuses
// while a cell is edited; asks "Сохранить изменения?" about unsaved edits
// and on Yes writes them to excel.FileName through the file tempPath; a
// failed save or copy refuses, after the write-back failure message. Lets
// the caller go without asking when the container is empty, when the open
// never completed and when Excel has gone away: nothing can be saved then.
bool QuerySaveWorkbook(const IOleContainerOps& ole, SExcelApp& excel, const AnsiString& caption,
                       const AnsiString& tempPath);

// OleContainerFormClose: offers the write-back (a refusal does not stop the
// close), then closes the object back to loaded and refreshes the container.
void CloseWorkbookObject(IOleContainerOps& ole, SExcelApp& excel, const AnsiString& caption,
                         const AnsiString& tempPath);

// FormDestroy: tells Excel to quit if it was reached, releases the
// references in order and destroys the container's object. Never raises.
void ReleaseWorkbook(IOleContainerOps& ole, SExcelApp& excel);

// UpdateExcelControls: the controls that need a workbook are enabled when
// the object is running or beyond (neither empty nor loaded).
bool IsWorkbookRunning(const IOleContainerOps& ole);
