#pragma once
// Resource identifiers that other programs rely on: the registrar points the toolbar button at
// the two icon groups, and the project name sits in the string table.
#define IDS_PROJNAME 100
#define IDI_BUTTON 201
#define IDI_BUTTON_HOT 202
