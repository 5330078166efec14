// A plain-text listing of every field of a document, in file order, with
// numbers shown by their bits: two documents are equal exactly when their
// dumps are, NaN payloads and negative zeros included.
#pragma once

#include <string>

class TQ6Data;

std::string DumpDocument(const TQ6Data& doc);
