// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Help context numbers of the manual's topics. The help compiler reads this file too (the [MAP]
// section of QLM.hhp includes it), so it holds nothing but comments and plain #define lines.

#define IDH_MAIN_WINDOW 1
