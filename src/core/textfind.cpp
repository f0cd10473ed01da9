#include "textfind.h"

TextFind::~TextFind()
{
    stillWanted->store(false);
}

void TextFind::finish(int row, Failure failure)
{
    foundRow = row;
    findFailure = failure;
    findDone = true;
    emit finished();
}
