; The installer's own texts, in Uzbek (Latin).

LangString SectionProgram ${LANG_UZBEK} "vexo va matn xizmati"
LangString SectionProgramInfo ${LANG_UZBEK} "vexo.exe buyruq dasturi hamda 32 va 64 bitli dasturlar uchun matn xizmati (vexo_tsf.dll). Xizmat tizimda ro'yxatdan o'tkaziladi."
LangString SectionPath ${LANG_UZBEK} "vexo buyrug'ini PATH ga qo'shish"
LangString SectionPathInfo ${LANG_UZBEK} "Dastur papkasini foydalanuvchining PATH o'zgaruvchisiga qo'shadi: vexo buyrug'ini istalgan buyruq oynasidan ishga tushirish mumkin bo'ladi."
LangString SectionProfile ${LANG_UZBEK} "O'zbek (lotin) kiritish usulini qo'shish"
LangString SectionProfileInfo ${LANG_UZBEK} "vexo kiritish usulini joriy foydalanuvchining tillari ro'yxatiga qo'shadi. Keyin uni til panelidan tanlash mumkin."

LangString Registering ${LANG_UZBEK} "Matn xizmati ro'yxatdan o'tkazilmoqda..."
LangString Unregistering ${LANG_UZBEK} "Matn xizmati ro'yxatdan chiqarilmoqda..."
LangString RegistrationFailedDetail ${LANG_UZBEK} "Xato: regsvr32 muvaffaqiyatsiz tugadi:"
LangString RegistrationFailedBox ${LANG_UZBEK} "Matn xizmatini ro'yxatga olib (yoki ro'yxatdan chiqarib) bo'lmadi. Fayllar joyida qoldi; o'rnatishni administrator sifatida qayta ishga tushiring."
LangString NoWow64 ${LANG_UZBEK} "Tizimda 32 bitli dasturlar qo'llovi (WOW64) yo'q: 32 bitli vexo_tsf.dll ro'yxatdan o'tkazilmadi."

LangString ProfileAdded ${LANG_UZBEK} "O'zbek (lotin) kiritish usuli qo'shildi."
LangString ProfileFailed ${LANG_UZBEK} "Kiritish usulini avtomatik qo'shib bo'lmadi. Uni qo'lda qo'shing: Sozlamalar > Vaqt va til > Til va mintaqa > O'zbek > Tilning parametrlari > Klaviatura qo'shish > vexo."
LangString ProfileSkipped ${LANG_UZBEK} "Matn xizmati ro'yxatdan o'tmagani uchun kiritish usuli qo'shilmadi."

LangString SettingsWritten ${LANG_UZBEK} "Standart sozlamalar yozildi: %APPDATA%\vexo\settings.ini"
LangString SettingsKept ${LANG_UZBEK} "Mavjud sozlamalar o'zgartirilmadi: %APPDATA%\vexo\settings.ini"
LangString SettingsLeft ${LANG_UZBEK} "Sizning sozlamalaringiz (%APPDATA%\vexo) saqlab qolindi."

LangString PathAdded ${LANG_UZBEK} "Dastur papkasi PATH ga qo'shildi."
LangString PathPresent ${LANG_UZBEK} "Dastur papkasi PATH da allaqachon bor."
LangString PathRemoved ${LANG_UZBEK} "Dastur papkasi PATH dan olib tashlandi."
LangString PathTooLong ${LANG_UZBEK} "PATH o'zgaruvchisi juda uzun, u o'zgartirilmadi. Dastur papkasini kerak bo'lsa qo'lda qo'shing."

LangString FinishText ${LANG_UZBEK} "vexo o'rnatildi.$\r$\n$\r$\nKiritish usulini tanlash: vazifalar panelining o'ng tomonidagi til belgisini (masalan, ENG) bosing yoki Win+Probel tugmalarini bosing va ro'yxatdan $\"O'zbek (lotin) - vexo$\" ni tanlang. Shundan keyin yozgan har bir so'zingiz tugashi bilan yangi alifboga o'giriladi; o'girishdan keyin darhol bosilgan Backspace uni bekor qiladi.$\r$\n$\r$\nRo'yxatda vexo bo'lmasa: Sozlamalar > Vaqt va til > Til va mintaqa > O'zbek > Tilning parametrlari > Klaviatura qo'shish > vexo.$\r$\n$\r$\nSozlamalar: %APPDATA%\vexo\settings.ini"
LangString AclFailed ${LANG_UZBEK} "Store ilovalari uchun o'qish ruxsati berilmadi:"
