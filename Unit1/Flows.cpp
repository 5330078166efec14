#include "Unit1/Flows.h"

#include "Func_/Func_.h"
#include "Q6Unit/Q6Data.h"

namespace {

// The only path separator here is "/"; a colon or a backslash is an ordinary
// character of a file name.
std::size_t LastSeparator(std::string_view s)
{
    return s.rfind('/');
}

}  // namespace

std::string DirectoryPart(std::string_view fileName)
{
    const std::size_t p = LastSeparator(fileName);
    return p == std::string_view::npos ? std::string() : std::string(fileName.substr(0, p + 1));
}

std::string FileNamePart(std::string_view fileName)
{
    const std::size_t p = LastSeparator(fileName);
    return std::string(p == std::string_view::npos ? fileName : fileName.substr(p + 1));
}

std::string ExtensionOf(std::string_view fileName)
{
    const std::string name = FileNamePart(fileName);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool HasQ6Extension(std::string_view fileName) { return UpperStr(ExtensionOf(fileName)) == ".Q6"; }

OpenOutcome OpenDrawing(TQ6Data& doc, const std::string& fn)
{
    if (!doc.FileCheck(fn)) return OpenOutcome::CheckFailed;
    doc.DataFree();
    if (!doc.FileIn(fn)) return OpenOutcome::LoadFailed;
    return OpenOutcome::Loaded;
}

OpenOutcome OpenDrawing(TQ6Data& doc, const std::string& fn, const EntitySink& entities)
{
    if (!doc.FileCheck(fn)) return OpenOutcome::CheckFailed;
    doc.DataFree();
    if (!doc.FileIn(fn, entities)) return OpenOutcome::LoadFailed;
    return OpenOutcome::Loaded;
}

const char* OpenFailureLine(OpenOutcome outcome)
{
    switch (outcome) {
    case OpenOutcome::CheckFailed: return kCheckFailedLine;
    case OpenOutcome::LoadFailed: return kLoadFailedLine;
    case OpenOutcome::Loaded: break;
    }
    return nullptr;
}

SaveOutcome SaveDrawing(const TQ6Data* doc, const std::string& fn)
{
    if (!doc) return SaveOutcome::NoDocument;
    if (doc->EntN == 0) return SaveOutcome::NotOpened;
    return doc->FileOut(fn) ? SaveOutcome::Saved : SaveOutcome::Failed;
}

const char* SaveMessage(SaveOutcome outcome)
{
    switch (outcome) {
    case SaveOutcome::NoDocument: return kNoDocumentMessage;
    case SaveOutcome::NotOpened: return kNotOpenedMessage;
    case SaveOutcome::Saved: return kSavedMessage;
    case SaveOutcome::Failed: return kSaveFailedMessage;
    }
    return kSaveFailedMessage;
}
