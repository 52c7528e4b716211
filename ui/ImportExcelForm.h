#pragma once
// TImportExcelForm: the program's one window. The settings controls on two
// pages, the progress strip of the conversion, the sheet selector and the
// panel pnOLE over which the embedded workbook window lies.
#include "framework/BitBtn.h"
#include "framework/ComboBox.h"
#include "framework/Forms.h"
#include "framework/StringGrid.h"
#include "framework/GroupBox.h"
#include "framework/Label.h"
#include "framework/OleContainer.h"
#include "framework/PageControl.h"
#include "framework/Panel.h"
#include "framework/ProgressBar.h"
#include "framework/Timer.h"
#include "framework/Variant.h"
#include "settings/FrmParams.h"
#include "workbook/ExcelApp.h"

class TImportExcelForm : public TForm {
 public:
  // Excel's automation references and the path the workbook came from.
  using SExcelApp = ::SExcelApp;

  // exeFolder: the folder (with its trailing separator) that holds the
  // settings folder; empty means the running executable's folder.
  explicit TImportExcelForm(TComponent* owner, const AnsiString& exeFolder = AnsiString());
  ~TImportExcelForm() override;
  AnsiString ClassName() const override { return "TImportExcelForm"; }

  // Components, named as in the settings file.
  TPanel* pnlMain;
  TPageControl* pg;
  TTabSheet* tsConvert;
  TPanel* Panel3;
  TPanel* pnlTemplateOptions;
  TLabel* lblTeplateOptions;
  TComboBox* cmbTemplateOptions;
  TBitBtn* bbtnSaveTemplateOptions;
  TGroupBox* gboxColOptions;
  TLabel* lblShifr;
  TComboBox* cmbColShifr;
  TLabel* lblV;
  TComboBox* cmbColV;
  TBitBtn* bbtnConvert;
  TPanel* pnProgressBar;
  TPanel* pnProgressBarMessage;
  TPanel* pnProcent;
  TProgressBar* ProgressBar1;
  TBitBtn* btnConvertCancel;
  TPanel* pnOLE;
  TPanel* pnPageExcel;
  TLabel* lbExcelPage;
  TComboBox* cmbExcelPage;
  TTabSheet* tsOptions;
  TPanel* Panel1;
  TGroupBox* gboxPrefixCode;
  TStringGrid* sgridPrefixCodeReplace;
  TPanel* Panel4;
  TBitBtn* bbtnAddPrefixCodeReplace;
  TBitBtn* bbtnDelPrefixCodeReplace;
  TTimer* tmrExcelPage;
  TTimer* tmrOlePosition;

  // Event handlers (ImportExcelForm*.cpp, one file per concern).
  void FormActivate(TComponent* Sender);
  void FormResize(TComponent* Sender);
  void FormCloseQuery(TComponent* Sender, bool& CanClose);
  void FormDestroy(TComponent* Sender);
  void cmbColShifrChange(TComponent* Sender);
  void bbtnAddPrefixCodeReplaceClick(TComponent* Sender);
  void bbtnDelPrefixCodeReplaceClick(TComponent* Sender);
  void sgridPrefixCodeReplaceDrawCell(TComponent* Sender, int ACol, int ARow, const TRect& Rect,
                                      TGridDrawState State);
  void bbtnSaveTemplateOptionsClick(TComponent* Sender);
  void cmbTemplateOptionsChange(TComponent* Sender);
  void cmbTemplateOptionsCloseUp(TComponent* Sender);
  void cmbTemplateOptionsKeyDown(TComponent* Sender, WORD& Key);
  void tmrOlePositionTimer(TComponent* Sender);
  void OleContainerFormClose(TComponent* Sender, TCloseAction& Action);
  void cmbExcelPageChange(TComponent* Sender);
  void tmrExcelPageTimer(TComponent* Sender);
  void bbtnConvertClick(TComponent* Sender);
  void btnConvertCancelClick(TComponent* Sender);

  // Settings variants.
  void FillTemplateOptions();
  void LoadTemplateOptions();
  void SaveTemplateOptions();

  // The embedded window over pnOLE.
  void PlaceOleForm();
  void UpdateExcelControls();
  void SetChildrenEnabled(TWinControl* Parent, bool Enabled);

  // The workbook in the embedded window (ImportExcelFormWorkbook.cpp).
  bool OpenExcelFile(const AnsiString& Path);
  bool FillExcelPages(TComboBox* Combo);
  bool IsCellEditing();
  bool QuerySaveExcel();
  // The conversion of the active sheet into the list file (ImportExcelFormConvert.cpp).
  bool RunConversion();

  // Puts another container under the workbook operations (an automation
  // double in tests); null goes back to oleExcel.
  void SetWorkbookContainer(IOleContainerOps* Ops) { workbookOle_ = Ops; }
  IOleContainerOps* WorkbookContainer() const;
  // True while a conversion run is in progress.
  bool Converting() const { return converting_; }

  AnsiString IniFileName;
  int LastOleLeft = 0;
  int LastOleTop = 0;
  bool FirstActivate = true;
  bool CancelRequested = false;
  TOleContainer* OleExcelRef = nullptr;
  SExcelApp ExcelApp;
  TFrmParams FrmParams;

 private:
  void CreateLayout();
  void CreateConvertPage();
  void CreateOptionsPage();
  void LoadGlyphs();
  void CreateOleContainerForm();
  // The screen point the embedded window's top-left corner belongs at.
  TPoint OleAnchor() const;
  // The raising of the embedded window, as every event hands it over.
  void RaiseOleForm();
  void SetOleFormStayOnTop();
  // The opening sequence of the first activation.
  void OpenWorkbookAtStart();
  // Names the settings file once when it exists but cannot be read.
  void ReportUnreadableSettings();
  // The convert command after its questions; false when the run did not complete.
  bool ConvertConfirmed();
  // Warns and returns false when the code or the quantity column is "[Нет]".
  bool ColumnsChosen();

  IOleContainerOps* workbookOle_ = nullptr;
  bool converting_ = false;
};

// The main window, set when the application creates it.
extern TImportExcelForm* ImportExcelForm;

// The column list of both column combo boxes: "[Нет]", then A(1) ... IV(256),
// one entry a line.
AnsiString ColumnListText();
// Excel's letters of a 1-based column number (1 -> "A", 27 -> "AA", 256 -> "IV").
AnsiString ColumnLetters(int column);
