#pragma once

class EntryListView;
class MessageBoxes;

// Sorts a list by the column with the given 1-based header index, reversing the direction on
// every call whichever column it names. An error stops it: it returns false, and shows the error
// in a message box when asked to. An empty list is left exactly as it is.
bool EnhListView_SortColumns(EntryListView& list, int columnIndex, bool showErrors, MessageBoxes& messages);
