// The kind of line libphonenumber gives a number, in this program's terms:
// for its plugin and for the generator of the compiled table alike, so that
// both read a number the same way.
#pragma once

#include "callers/NumberReader.h"

#include <phonenumbers/phonenumberutil.h>

namespace telvane {

inline ENumberKind KindOfLibraryType(i18n::phonenumbers::PhoneNumberUtil::PhoneNumberType type) {
    using Util = i18n::phonenumbers::PhoneNumberUtil;
    switch (type) {
    case Util::FIXED_LINE:
        return ENumberKind::nkFixedLine;
    case Util::MOBILE:
        return ENumberKind::nkMobile;
    case Util::FIXED_LINE_OR_MOBILE:
        return ENumberKind::nkFixedLineOrMobile;
    case Util::TOLL_FREE:
        return ENumberKind::nkTollFree;
    case Util::PREMIUM_RATE:
        return ENumberKind::nkPremiumRate;
    case Util::SHARED_COST:
        return ENumberKind::nkSharedCost;
    case Util::VOIP:
        return ENumberKind::nkVoip;
    case Util::PERSONAL_NUMBER:
        return ENumberKind::nkPersonal;
    case Util::PAGER:
        return ENumberKind::nkPager;
    case Util::UAN:
        return ENumberKind::nkUan;
    case Util::VOICEMAIL:
        return ENumberKind::nkVoicemail;
    case Util::UNKNOWN:
        break;
    }
    return ENumberKind::nkUnknown;
}

} // namespace telvane
