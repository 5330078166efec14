// The open and save flows of the viewer without the window: what `proc` and
// `proc2` decide, and the texts they show. The viewer and q6tool share them.
#pragma once

#include <string>
#include <string_view>

#include "Q6Unit/Q6Data.h"
#include "Unit1/Report.h"

class TQ6Data;

inline constexpr const char* kCheckFailedLine =
    "◆Q6図面ファイルでは無い/或いは他アプリで既に開いていますので中止します。";
inline constexpr const char* kLoadFailedLine = "◆ファイル読み込みエラーです。中止します。";
inline constexpr const char* kNoDocumentMessage = "Q6データが生成されていません。";
inline constexpr const char* kNotOpenedMessage = "Q6データが開かれていません。";
inline constexpr const char* kSavedMessage = "Q6データを保存しました。";
inline constexpr const char* kSaveFailedMessage = "Q6データが保存出来ませんでした。";

// The extension of a file name: from the last "." after the last path
// separator, the dot included; empty when there is none.
std::string ExtensionOf(std::string_view fileName);
// True when the extension, upper-cased, is exactly ".Q6".
bool HasQ6Extension(std::string_view fileName);
// The directory part (up to and including the last separator) and the rest.
std::string DirectoryPart(std::string_view fileName);
std::string FileNamePart(std::string_view fileName);

enum class OpenOutcome { CheckFailed, LoadFailed, Loaded };

// `proc` without the memo: checks fn, clears the document, loads it. On
// success the report is to be shown; otherwise the single failure line.
OpenOutcome OpenDrawing(TQ6Data& doc, const std::string& fn);
// The same with every entity handed to `entities` instead of kept.
OpenOutcome OpenDrawing(TQ6Data& doc, const std::string& fn, const EntitySink& entities);
// The one line shown for a failed open (null when it succeeded).
const char* OpenFailureLine(OpenOutcome outcome);

enum class SaveOutcome { NoDocument, NotOpened, Saved, Failed };

// `proc2`: refuses a missing document or one without entities, else FileOut.
SaveOutcome SaveDrawing(const TQ6Data* doc, const std::string& fn);
const char* SaveMessage(SaveOutcome outcome);
