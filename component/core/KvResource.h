#pragma once

#include <QString>

// Every text the designer component shows or raises, in one place. Placeholders use QString::arg
// numbering (%1, %2 ...) in the order of the arguments.
namespace KvResource {

// Version and identity.
inline const QString SVersion = QStringLiteral("2.01");

// Parser errors (by code).
inline const QString SInvalidToken =
    QStringLiteral("Invalid token '%1' at position %2 of line %3.");
inline const QString SUnexpectedEnd = QStringLiteral("Unexpected end of statement.");
inline const QString SUnterminatedString = QStringLiteral("Unterminated string.");
inline const QString SUnknownError = QStringLiteral("Unknown error (#%1).");

// Relations of a condition list, as the criteria editors show them.
inline const QString SRelationAll = QStringLiteral("All");
inline const QString SRelationAny = QStringLiteral("Any");
inline const QString SRelationNotAll = QStringLiteral("Not all");
inline const QString SRelationNone = QStringLiteral("None");
inline const QString SOfFollowingAreMet = QStringLiteral(" of following are met");

// Work area.
inline const QString SInvalidWorkAreaParent =
    QStringLiteral("Given parent is not valid for WorkArea!");
inline const QString STableWithAlias = QStringLiteral("Table with alias");
inline const QString SAlreadyExist = QStringLiteral("already exist");

// Table window.
inline const QString SInvalidTableParent = QStringLiteral("Invalid parent for table object!");
inline const QString SHintCollapseExpand = QStringLiteral("Collapse/Expand table");
inline const QString SHintUnlinkTable = QStringLiteral("Unlink table");
inline const QString SHintCloseTable = QStringLiteral("Close table");
inline const QString SHintUnselectAll = QStringLiteral("Unselect all fields");
inline const QString SHintSelectAll = QStringLiteral("Select all fields");
inline const QString SHintEditAlias = QStringLiteral("Double click for edit alias");
inline const QString SMenuDeleteTable = QStringLiteral("Delete table");
inline const QString SMenuRenameTable = QStringLiteral("Rename table");
inline const QString SMenuSeparator = QStringLiteral("-");

// Field type names, by data-set field-type code (see KvFieldTypeName).
inline const QString STypeFloat = QStringLiteral("Float");
inline const QString STypeInteger = QStringLiteral("Integer");
inline const QString STypeString = QStringLiteral("String");
inline const QString STypeBoolean = QStringLiteral("Boolean");
inline const QString STypeBCD = QStringLiteral("BCD");
inline const QString STypeDate = QStringLiteral("Date");
inline const QString STypeTime = QStringLiteral("Time");
inline const QString STypeDateTime = QStringLiteral("DateTime");
inline const QString STypeBytes = QStringLiteral("Bytes");
inline const QString STypeVarBytes = QStringLiteral("VarBytes");
inline const QString STypeBlob = QStringLiteral("Blob");
inline const QString STypeGraphic = QStringLiteral("Graphic");
inline const QString STypeParadoxOle = QStringLiteral("ParadoxOle");
inline const QString STypeDBaseOle = QStringLiteral("DBaseOle");
inline const QString STypeTypedBinary = QStringLiteral("Typed binary");
inline const QString STypeCursor = QStringLiteral("Cursor");
inline const QString STypeADT = QStringLiteral("ADT");
inline const QString STypeArray = QStringLiteral("Array");
inline const QString STypeReference = QStringLiteral("Reference");
inline const QString STypeDataSet = QStringLiteral("Data set");
inline const QString STypeOraBlob = QStringLiteral("Ora blob");
inline const QString STypeOraClob = QStringLiteral("Ora clob");
inline const QString STypeVariant = QStringLiteral("Variant");
inline const QString STypeInterface = QStringLiteral("Interface");
inline const QString STypeIDispatch = QStringLiteral("IDispatch");
inline const QString STypeGuid = QStringLiteral("Guid");

// Links.
inline const QString SMenuInsertPoint = QStringLiteral("Insert point");
inline const QString SMenuDeletePoint = QStringLiteral("Delete point");
inline const QString SMenuDeleteLink = QStringLiteral("Delete link");
inline const QString SMenuProperty = QStringLiteral("Property");
inline const QString SAttention = QStringLiteral("Attention!");
inline const QString SDeleteLinkQuestion =
    QStringLiteral("Do you really want to delete the link between ");
inline const QString SAnd = QStringLiteral("and");
inline const QString SInvalidLinkTable = QStringLiteral("Invalid table %1 in Link control");
inline const QString SInvalidIndex = QStringLiteral("Invalid index = %1 ");

// Link properties dialog.
inline const QString SLinkProperties = QStringLiteral("Link properties");
inline const QString SJoinTables = QStringLiteral("join tables: ");
inline const QString SIncludeAllFrom = QStringLiteral("Include all from");
inline const QString SIncludeAllLeft = QStringLiteral("Include all");
inline const QString SIncludeAllRight = QStringLiteral("Include All");
inline const QString SInvalidLink = QStringLiteral("Invalid link");
inline const QString SOK = QStringLiteral("OK");
inline const QString SCancel = QStringLiteral("Cancel");

// Questions.
inline const QString SConfirmation = QStringLiteral("Confirmation");

// Editor pages.
inline const QString SPageCriterions = QStringLiteral("Criterions");
inline const QString SPageSelection = QStringLiteral("Selection");
inline const QString SPageGroupCriterions = QStringLiteral("Grouping criterions");
inline const QString SPageSorting = QStringLiteral("Sorting");

// Selection grid, sorting panel and criteria panels.
inline const QString SInvalidSelectGridParent = QStringLiteral("Invalid parent for SelectGrid");
inline const QString SInvalidOrderPanelParent = QStringLiteral("Invalid parent for OrderPanel");
inline const QString SInvalidConditionsParent =
    QStringLiteral("Invalid parent for conditions panel");
inline const QString SDeleteRowQuestion =
    QStringLiteral("Are you sure you want to delete current row?");
inline const QString SDeleteConditionsQuestion =
    QStringLiteral("Are you sure you want to delete current condition(s)?");
inline const QString SCantDeleteLastRow = QStringLiteral("Can't delete last row!");
inline const QString SCantDeleteFirstRow = QStringLiteral("Can't delete first row");
inline const QString SCantExpandSimple = QStringLiteral("Can't expand/collapse simple condition");
inline const QString SCantCollapseFirst = QStringLiteral("Can't collapse first condition");
inline const QString SAlreadyComposed = QStringLiteral("Selected condition is already composed");
inline const QString SNoActiveButton = QStringLiteral("There is no active button");

// Undo and redo: the actions and the names of the steps.
inline const QString SUndoAction = QStringLiteral("&Undo");
inline const QString SRedoAction = QStringLiteral("&Redo");
inline const QString SUndoAddTable = QStringLiteral("Add Table %1");
inline const QString SUndoDeleteTable = QStringLiteral("Delete Table %1");
inline const QString SUndoMoveTable = QStringLiteral("Move Table %1");
inline const QString SUndoResizeTable = QStringLiteral("Resize Table %1");
inline const QString SUndoCollapseTable = QStringLiteral("Collapse Table %1");
inline const QString SUndoExpandTable = QStringLiteral("Expand Table %1");
inline const QString SUndoUnlinkTable = QStringLiteral("Unlink Table %1");
inline const QString SUndoRenameTable = QStringLiteral("Rename Table %1 to %2");
inline const QString SUndoCheckField = QStringLiteral("Check Field %1");
inline const QString SUndoUncheckField = QStringLiteral("Uncheck Field %1");
inline const QString SUndoCheckAll = QStringLiteral("Check All Fields of %1");
inline const QString SUndoUncheckAll = QStringLiteral("Uncheck All Fields of %1");
inline const QString SUndoAddLink = QStringLiteral("Add Link %1");
inline const QString SUndoDeleteLink = QStringLiteral("Delete Link %1");
inline const QString SUndoChangeLink = QStringLiteral("Change Link %1");
inline const QString SUndoInsertPoint = QStringLiteral("Insert Link Point");
inline const QString SUndoDeletePoint = QStringLiteral("Delete Link Point");
inline const QString SUndoMovePoint = QStringLiteral("Move Link Point");
inline const QString SUndoEditSQL = QStringLiteral("Edit SQL");
inline const QString SUndoClear = QStringLiteral("Clear");

// Linking from the keyboard.
inline const QString SMenuLinkFieldTo = QStringLiteral("Link field to\u2026");

// Errors of the component's own event handlers.
inline const QString SErrorCaption = QStringLiteral("Error");
inline const QString SUnexpectedError = QStringLiteral("Unknown error.");

} // namespace KvResource
