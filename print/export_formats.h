// The numbers an export request gives its format and code table.
#ifndef LINTARO_PRINT_EXPORT_FORMATS_H
#define LINTARO_PRINT_EXPORT_FORMATS_H

// Formats of the export request, as the "ExportTable" dialog numbers them.
enum : int {
    kExportPlainText = 0,  // also every value that is not one of the others
    kExportTabSeparated = 1,
    kExportDbase = 2,
    kExportCsv = 3,
};

// Code tables of the export request: 0 Windows (the texts as they are), any other DOS.
enum : int {
    kExportWindowsCodeTable = 0,
    kExportDosCodeTable = 1,
};

#endif
