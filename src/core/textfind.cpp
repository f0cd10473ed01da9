#include "textfind.h"

void TextFind::finish(int row, Failure failure)
{
    foundRow = row;
    findFailure = failure;
    findDone = true;
    emit finished();
}
