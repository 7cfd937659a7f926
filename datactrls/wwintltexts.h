#pragma once
// The default texts of the data-aware library, one list per group of the text
// object: TEXT(property name, default text). Included by wwintl.h and wwintl.cpp.

#define WW_SEARCH_DIALOG_TEXTS(TEXT) \
  TEXT(SearchCharLabel, "&Search Characters") \
  TEXT(SearchCharShortLabel, "&Search Char") \
  TEXT(SearchByLabel, "Search &By") \
  TEXT(StatusRecLabel, "Rec #") \
  TEXT(StatusOfLabel, "of") \
  TEXT(SearchCharHint, "Enter characters for incremental search") \
  TEXT(SearchByHint, "Incremental searching and sorting order")

#define WW_LOCATE_DIALOG_TEXTS(TEXT) \
  TEXT(FieldValueLabel, "Field &Value") \
  TEXT(SearchTypeLabel, "&Search Type") \
  TEXT(CaseSensitiveLabel, "&Case-sensitive") \
  TEXT(MatchExactLabel, "&Exact Match") \
  TEXT(MatchStartLabel, "&Partial Match at Beginning") \
  TEXT(MatchAnyLabel, "Partial Match &Anywhere") \
  TEXT(FieldsLabel, "&Fields") \
  TEXT(BtnFirst, "Fi&rst") \
  TEXT(BtnNext, "&Next") \
  TEXT(BtnCancel, "Cancel") \
  TEXT(FieldValueHint, "Enter field's search value") \
  TEXT(CaseSensitiveHint, "Searching is case-sensitive") \
  TEXT(MatchExactHint, "Match occurs only if there is an exact match") \
  TEXT(MatchStartHint, "Match occurs if the start of the field's value matches") \
  TEXT(MatchAnyHint, "Match occurs if any part of the field matches") \
  TEXT(BtnFirstHint, "Find first match") \
  TEXT(BtnNextHint, "Find next match from current record") \
  TEXT(FieldNameHint, "Select the field to search on")

#define WW_FILTER_DIALOG_TEXTS(TEXT) \
  TEXT(BtnViewSummary, "View Su&mmary") \
  TEXT(BtnViewSummaryHint, "View summary of current search criteria") \
  TEXT(BtnNewSearch, "&New Search") \
  TEXT(BtnNewSearchHint, "Start a new search") \
  TEXT(FieldOrderLabel, "Field Order") \
  TEXT(FieldOrderHint, "Sort field list alphabetically or in their natural logical order") \
  TEXT(AlphabeticLabel, "Alpha&betic") \
  TEXT(LogicalLabel, "&Logical") \
  TEXT(AllFieldsLabel, "&All") \
  TEXT(SearchedFieldsLabel, "&Searched") \
  TEXT(StartingRangeLabel, "&Starting Range") \
  TEXT(EndingRangeLabel, "En&ding Range") \
  TEXT(BtnClearMin, "&Clear") \
  TEXT(BtnClearMax, "Cl&ear") \
  TEXT(BtnClearFilterValue, "&Clear") \
  TEXT(StartingRangeHint, "Enter starting range for field") \
  TEXT(EndingRangeHint, "Enter ending range for field") \
  TEXT(BtnClearMinHint, "Clear starting range for field") \
  TEXT(BtnClearMaxHint, "Clear ending range for field") \
  TEXT(BtnClearFilterValueHint, "Clear the current field's search value") \
  TEXT(ByValueLabel, "By &Value") \
  TEXT(ByRangeLabel, "By &Range") \
  TEXT(FieldValueLabel, "Field &Value") \
  TEXT(FieldValueHint, "Enter field's search value") \
  TEXT(SearchTypeLabel, "Search Type") \
  TEXT(SearchTypeHint, "Specify how the Field Value should be compared") \
  TEXT(MatchExactLabel, "&Exact Match") \
  TEXT(MatchStartLabel, "&Partial Match at Beginning") \
  TEXT(MatchAnyLabel, "Partial Match Any&where") \
  TEXT(CaseSensitiveLabel, "Case Sensi&tive") \
  TEXT(CaseSensitiveHint, "Searching is case-sensitive") \
  TEXT(NonMatchingLabel, "N&on-matching records") \
  TEXT(NonMatchingHint, "Show records that do not match the field value criteria") \
  TEXT(SummaryFieldLabel, "Field") \
  TEXT(SummarySearchLabel, "Search Type") \
  TEXT(SummaryValueLabel, "Value") \
  TEXT(FieldsLabel, "&Fields") \
  TEXT(ValueRangeTabHint, "Search fields by value or by range") \
  TEXT(AllSearchedTabHint, "Show all fields or only currently searched fields") \
  TEXT(ViewSummaryNotText, "NOT")

#define WW_USER_MESSAGES_TEXTS(TEXT) \
  TEXT(wwDBGridDiscardChanges, "Discard changes to this record?") \
  TEXT(PictureValidateError, "Invalid characters. Field : ") \
  TEXT(LocateNoMatches, "No matches found") \
  TEXT(LocateNoMoreMatches, "No more matches found") \
  TEXT(MemoChangesWarning, "Changes have been made!  Are you sure you wish to cancel?") \
  TEXT(RichEditExitWarning, "Changes have been made!  Do you wish to save your changes?") \
  TEXT(RichEditClearWarning, "Clear entire text?") \
  TEXT(FilterDlgNoCriteria, "You have not selected any search criteria") \
  TEXT(RecordViewExitWarning, "Changes have been made!  Do you wish to save your changes?")

#define WW_RICH_EDIT_TEXTS(TEXT) \
  TEXT(FontNameComboHint, "Font | Changes the font of the selection") \
  TEXT(FontSizeComboHint, "Font Size | Changes the font size of the selection") \
  TEXT(NewButtonHint, "New | Creates a new document") \
  TEXT(LoadButtonHint, "Load | Load from file") \
  TEXT(SaveAsButtonHint, "Save As | Save to file") \
  TEXT(PrintButtonHint, "Print | Prints the active document") \
  TEXT(FindButtonHint, "Find | Finds the specified text") \
  TEXT(CutButtonHint, "Cut | Cuts the selection and puts it on the Clipboard") \
  TEXT(CopyButtonHint, "Copy | Copies the selection and puts it on the Clipboard") \
  TEXT(UndoButtonHint, "Undo | Reverses the last action") \
  TEXT(PasteButtonHint, "Paste | Inserts Clipboard contents") \
  TEXT(BoldButtonHint, "Bold | Makes the selection bold (toggle)") \
  TEXT(UnderlineButtonHint, "Underline | Formats the selection with a continuous underline (toggle)") \
  TEXT(ItalicButtonHint, "Italic | Makes the selection italic (toggle)") \
  TEXT(LeftButtonHint, "Align Left | Left-justifies paragraph (toggle)") \
  TEXT(CenterButtonHint, "Center | Center-justifies paragraph (toggle)") \
  TEXT(RightButtonHint, "Align Right | Right-justifies paragraph (toggle)") \
  TEXT(BulletButtonHint, "Bullets | Inserts a bullet on this line (toggle)") \
  TEXT(SaveExitHint, "Save And Exit | Saves changes and exits editor") \
  TEXT(PageSetupHint, "Page Setup | Changes page layout settings") \
  TEXT(ExitHint, "Exit") \
  TEXT(ClearHint, "Erases the Selection") \
  TEXT(SelectAllHint, "Selects all of the text") \
  TEXT(FindNextHint, "Repeats the last find") \
  TEXT(ReplaceHint, "Replaces specific text with different text") \
  TEXT(ToolbarHint, "Shows or hides the toolbar") \
  TEXT(FormatBarHint, "Shows or hides the format bar") \
  TEXT(ViewStatusBarHint, "Shows or hides the status bar") \
  TEXT(OptionsHint, "Sets options") \
  TEXT(FontHint, "Selects font for current selection") \
  TEXT(ParagraphHint, "Formats current or selected paragraph(s)") \
  TEXT(TabsHint, "Sets tabs") \
  TEXT(CAPLockCaption, "CAP") \
  TEXT(NUMLockCaption, "NUM")

#define WW_RICH_EDIT_MENU_TEXTS(TEXT) \
  TEXT(FileCaption, "&File") \
  TEXT(LoadCaption, "&Load") \
  TEXT(SaveAsCaption, "Save &As") \
  TEXT(SaveExitCaption, "&Save and Exit") \
  TEXT(PrintCaption, "&Print") \
  TEXT(PageSetupCaption, "Page Set&up") \
  TEXT(ExitCaption, "E&xit") \
  TEXT(EditCaption, "&Edit") \
  TEXT(UndoCaption, "&Undo") \
  TEXT(CutCaption, "Cu&t") \
  TEXT(CopyCaption, "&Copy") \
  TEXT(PasteCaption, "&Paste") \
  TEXT(ClearCaption, "Cle&ar") \
  TEXT(SelectallCaption, "Select A&ll") \
  TEXT(FindCaption, "&Find") \
  TEXT(FindNextCaption, "Find &Next") \
  TEXT(ReplaceCaption, "R&eplace") \
  TEXT(ViewCaption, "&View") \
  TEXT(ToolbarCaption, "&Toolbar") \
  TEXT(FormatBarCaption, "&Format Bar") \
  TEXT(ViewStatusBarCaption, "&Status Bar") \
  TEXT(OptionsCaption, "&Options") \
  TEXT(FormatCaption, "F&ormat") \
  TEXT(FontCaption, "&Font") \
  TEXT(BulletStyleCaption, "&Bullet Style") \
  TEXT(ParagraphCaption, "&Paragraph") \
  TEXT(TabsCaption, "&Tabs") \
  TEXT(HelpCaption, "Help")

#define WW_RICH_EDIT_POPUP_TEXTS(TEXT) \
  TEXT(EditCaption, "&Edit") \
  TEXT(CutCaption, "Cu&t") \
  TEXT(CopyCaption, "&Copy") \
  TEXT(PasteCaption, "&Paste") \
  TEXT(FontCaption, "&Font") \
  TEXT(BulletStyleCaption, "&Bullet Style") \
  TEXT(BoldCaption, "B&old") \
  TEXT(ItalicCaption, "&Italic") \
  TEXT(UnderlineCaption, "&Underline") \
  TEXT(ParagraphCaption, "P&aragraph") \
  TEXT(TabsCaption, "&Tabs") \
  TEXT(FindCaption, "Fin&d") \
  TEXT(ReplaceCaption, "&Replace")

#define WW_RICH_EDIT_PARAGRAPH_TEXTS(TEXT) \
  TEXT(ParagraphDlgCaption, "Paragraph") \
  TEXT(IndentationGroupBoxCaption, "Indentation") \
  TEXT(LeftEditCaption, "Left:") \
  TEXT(RightEditCaption, "Right:") \
  TEXT(FirstLineEditCaption, "First line:") \
  TEXT(AlignmentCaption, "Alignment") \
  TEXT(LeftEditHint, "Left Indentation") \
  TEXT(RightEditHint, "Right Indentation") \
  TEXT(FirstLineEditHint, "First Line of Paragraph Indentation") \
  TEXT(AlignmentHint, "Changes Alignment of Paragraph") \
  TEXT(AlignLeft, "Left") \
  TEXT(AlignRight, "Right") \
  TEXT(AlignCenter, "Center")

#define WW_RICH_EDIT_TAB_TEXTS(TEXT) \
  TEXT(TabDlgCaption, "Tab") \
  TEXT(TabGroupBoxCaption, "&Tab Stop Position") \
  TEXT(SetTabButtonCaption, "Set") \
  TEXT(ClearTabButtonCaption, "Clear") \
  TEXT(ClearAllButtonCaption, "Clear All") \
  TEXT(TabPositionEditHint, "Tab Position Edit Box") \
  TEXT(ListBoxHint, "List of tabs and their positions") \
  TEXT(SetButtonHint, "Set a new tab position") \
  TEXT(ClearButtonHint, "Clear the selected tab position") \
  TEXT(ClearAllButtonHint, "Clear all the tabs")
