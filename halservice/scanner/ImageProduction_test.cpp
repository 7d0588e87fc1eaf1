#include "halservice/scanner/testing/ScanJobFixture.h"
