#pragma once

#include <QString>

// The vocabulary of every XML file the system reads and writes (templates, packages, job
// tickets, outputs, placement nodes, codes and the older product files) and of the value maps
// built from them. One constant names an element, an attribute or a map key; some texts are
// also values (layer types, stamp formats, gravities, date patterns). Readers and writers name
// the stored texts only through these constants.
//
// A constant's name and its text often differ: the text is what files hold and what is compared.
// Some texts are deliberately shared by two constants (a layer's "type" attribute and the value
// map's "type" key, for instance), so checking either constant of such a pair matches both.
// Date and time texts are Unicode date-format patterns used as they stand.

inline const QString KOVA_XML_Key_key = QStringLiteral("key");
inline const QString KOVA_XML_Key_image1 = QStringLiteral("image1");
inline const QString KOVA_XML_Key_PLU = QStringLiteral("plucode");
inline const QString KOVA_XML_Key_productID = QStringLiteral("productid");
inline const QString KOVA_XML_Key_printID = QStringLiteral("printid");
inline const QString KOVA_XML_Key_ipAddress = QStringLiteral("ipaddress");
inline const QString KOVA_XML_Key_destinationLabel = QStringLiteral("destinationLabel");
inline const QString KOVA_XML_Key_imagePath = QStringLiteral("imagepath");
inline const QString KOVA_XML_Key_itemPath = QStringLiteral("itempath");
inline const QString KOVA_XML_Key_whatToPrint = QStringLiteral("whattoprint");
inline const QString KOVA_XML_Key_all = QStringLiteral("all");
inline const QString KOVA_XML_Key_quantity = QStringLiteral("quantity");  // same text as KOVA_XML_Key_priceUnit
inline const QString KOVA_XML_Key_id = QStringLiteral("id");
inline const QString KOVA_XML_Key_name = QStringLiteral("name");
inline const QString KOVA_XML_Key_icon = QStringLiteral("icon");
inline const QString KOVA_XML_Key_barcode = QStringLiteral("barcode");
inline const QString KOVA_XML_Key_message = QStringLiteral("message");
inline const QString KOVA_XML_Key_scale = QStringLiteral("scale");
inline const QString KOVA_XML_Key_aztec = QStringLiteral("aztec");
inline const QString KOVA_XML_Key_qrcode = QStringLiteral("qrcode");
inline const QString KOVA_XML_Key_pdf417 = QStringLiteral("pdf417");
inline const QString KOVA_XML_Key_code128 = QStringLiteral("code128");
inline const QString KOVA_XML_Key_width = QStringLiteral("width");  // same text as KOVA_XML_Key_layerWidth
inline const QString KOVA_XML_Key_frame = QStringLiteral("frame");
inline const QString KOVA_XML_Key_rotation = QStringLiteral("rotation");
inline const QString KOVA_XML_Key_autorotate = QStringLiteral("autorotate");
inline const QString KOVA_XML_Key_croprect = QStringLiteral("croprect");
inline const QString KOVA_XML_Key_normal = QStringLiteral("normal");
inline const QString KOVA_XML_Key_height = QStringLiteral("height");  // same text as KOVA_XML_Key_layerHeight
inline const QString KOVA_XML_Key_value = QStringLiteral("value");
inline const QString KOVA_XML_Key_font = QStringLiteral("font");
inline const QString KOVA_XML_Key_origin = QStringLiteral("origin");
inline const QString KOVA_XML_Key_originFlippedX = QStringLiteral("xflip");
inline const QString KOVA_XML_Key_originFlippedY = QStringLiteral("yflip");
inline const QString KOVA_XML_Key_size = QStringLiteral("size");
inline const QString KOVA_XML_Key_optional = QStringLiteral("optional");
inline const QString KOVA_XML_Key_priceList = QStringLiteral("price");
inline const QString KOVA_XML_Key_priceUnit = QStringLiteral("quantity");  // same text as KOVA_XML_Key_quantity
inline const QString KOVA_XML_Key_priceStart = QStringLiteral("start");
inline const QString KOVA_XML_Key_template = QStringLiteral("template");
inline const QString KOVA_XML_Key_landscape = QStringLiteral("landscape");
inline const QString KOVA_XML_Key_portrait = QStringLiteral("portrait");
inline const QString KOVA_XML_Key_square = QStringLiteral("square");
inline const QString KOVA_XML_Key_layout = QStringLiteral("layout");
inline const QString KOVA_XML_Key_data = QStringLiteral("data");
inline const QString KOVA_XML_Key_node = QStringLiteral("node");
inline const QString KOVA_XML_Key_type = QStringLiteral("type");  // same text as KOVA_XML_Key_layerType
inline const QString KOVA_XML_Key_version = QStringLiteral("version");
inline const QString KOVA_XML_Key_canvas = QStringLiteral("canvas");  // same text as KOVA_XML_Key_layerTypeCanvas
inline const QString KOVA_XML_Key_job = QStringLiteral("job");
inline const QString KOVA_XML_Key_package = QStringLiteral("package");
inline const QString KOVA_XML_Key_inline = QStringLiteral("inline");
inline const QString KOVA_XML_Key_allImages = QStringLiteral("allimages");
inline const QString KOVA_XML_Key_destination = QStringLiteral("destination");
inline const QString KOVA_XML_Key_output = QStringLiteral("output");
inline const QString KOVA_XML_Key_layer = QStringLiteral("layer");
inline const QString KOVA_XML_Key_layersArray = QStringLiteral("layers");
inline const QString KOVA_XML_Key_date = QStringLiteral("date");
inline const QString KOVA_XML_Key_time = QStringLiteral("time");
inline const QString KOVA_XML_Key_custom = QStringLiteral("custom");
inline const QString KOVA_XML_Key_oldKOVA_dateShort = QStringLiteral("shortDate");
inline const QString KOVA_XML_Key_oldKOVA_dateLong = QStringLiteral("longDate");
inline const QString KOVA_XML_Key_oldKOVA_dateAbrev = QStringLiteral("abrevDate");
inline const QString KOVA_XML_Key_oldKOVA_dateFormatShort = QStringLiteral("MM-dd-yyyy");
inline const QString KOVA_XML_Key_oldKOVA_dateFormatLong = QStringLiteral("EEEE, MMMM d, yyyy");
inline const QString KOVA_XML_Key_oldKOVA_dateFormatAbrev = QStringLiteral("EEE, MMM d, yyyy");
inline const QString KOVA_XML_Key_oldKOVA_timeFormatShort = QStringLiteral("h:mm aa");
inline const QString KOVA_XML_Key_oldKOVA_timeFormatLong = QStringLiteral("h:mm:ss aa");
inline const QString KOVA_XML_Key_oldKOVA_filenameOriginal = QStringLiteral("originalimagename");
inline const QString KOVA_XML_Key_oldKOVA_saveOriginal = QStringLiteral("saveoriginalfileasis");
inline const QString KOVA_XML_Key_exifComment_key = QStringLiteral("uploadInfo");
inline const QString KOVA_XML_Key_exifComment_originalPath = QStringLiteral("OriginalPath");
inline const QString KOVA_XML_Key_exifComment_uploadSite = QStringLiteral("f");
inline const QString KOVA_XML_Key_exifComment_version = QStringLiteral("Version");
inline const QString KOVA_XML_Key_filename = QStringLiteral("filename");
inline const QString KOVA_XML_Key_filepath = QStringLiteral("filepath");
inline const QString KOVA_XML_Key_customFilenamePart = QStringLiteral("customfilenamepart");
inline const QString KOVA_XML_Key_preprocess = QStringLiteral("preprocess");
inline const QString KOVA_XML_Key_imageFile = QStringLiteral("ImageFile");
inline const QString KOVA_XML_Key_printer = QStringLiteral("printer");
inline const QString KOVA_XML_Key_cutInHalf = QStringLiteral("cutInHalf");
inline const QString KOVA_XML_Key_mediaType = QStringLiteral("mediaType");
inline const QString KOVA_XML_Key_queue = QStringLiteral("queue");
inline const QString KOVA_XML_Key_model = QStringLiteral("model");
inline const QString KOVA_XML_Key_papersize = QStringLiteral("papersize");
inline const QString KOVA_XML_Key_copies = QStringLiteral("copies");
inline const QString KOVA_XML_Key_resize = QStringLiteral("resize");  // same text as KOVA_XML_Key_gravityResize
inline const QString KOVA_XML_Key_limitSize = QStringLiteral("limitsize");
inline const QString KOVA_XML_Key_upload = QStringLiteral("uploadsite");
inline const QString KOVA_XML_Key_layerType = QStringLiteral("type");  // same text as KOVA_XML_Key_type
inline const QString KOVA_XML_Key_layerTypeContainer = QStringLiteral("container");
inline const QString KOVA_XML_Key_layerTypeCanvas = QStringLiteral("canvas");  // same text as KOVA_XML_Key_canvas
inline const QString KOVA_XML_Key_layerTypeGraphic = QStringLiteral("graphic");
inline const QString KOVA_XML_Key_layerTypeImage = QStringLiteral("image");
inline const QString KOVA_XML_Key_layerTypeText = QStringLiteral("textbox");
inline const QString KOVA_XML_Key_layerTypeEditText = QStringLiteral("edittextbox");
inline const QString KOVA_XML_Key_layerTypeStamp = QStringLiteral("stamp");  // same text as KOVA_XML_Key_stamp
inline const QString KOVA_XML_Key_stamp = QStringLiteral("stamp");  // same text as KOVA_XML_Key_layerTypeStamp
inline const QString KOVA_XML_Key_stampFormat = QStringLiteral("stampFormat");
inline const QString KOVA_XML_Key_stringNumber = QStringLiteral("stringnumber");
inline const QString KOVA_XML_Key_hideExtension = QStringLiteral("hideExtension");
inline const QString KOVA_XML_Key_layerZ = QStringLiteral("zindex");
inline const QString KOVA_XML_Key_layerGravity = QStringLiteral("gravity");
inline const QString KOVA_XML_Key_layerOriginX = QStringLiteral("startx");
inline const QString KOVA_XML_Key_layerOriginY = QStringLiteral("starty");
inline const QString KOVA_XML_Key_layerWidth = QStringLiteral("width");  // same text as KOVA_XML_Key_width
inline const QString KOVA_XML_Key_layerHeight = QStringLiteral("height");  // same text as KOVA_XML_Key_height
inline const QString KOVA_XML_Key_shadowColor = QStringLiteral("shadowcolor");
inline const QString KOVA_XML_Key_shadowEnabled = QStringLiteral("shadowEnabled");
inline const QString KOVA_XML_Key_string = QStringLiteral("string");
inline const QString KOVA_XML_Key_textAlignment = QStringLiteral("textAlignment");
inline const QString KOVA_XML_Key_left = QStringLiteral("left");
inline const QString KOVA_XML_Key_right = QStringLiteral("right");
inline const QString KOVA_XML_Key_center = QStringLiteral("center");
inline const QString KOVA_XML_Key_justified = QStringLiteral("justified");
inline const QString KOVA_XML_Key_textOverflowX = QStringLiteral("overflowx");
inline const QString KOVA_XML_Key_textOverflowY = QStringLiteral("overflowy");
inline const QString KOVA_XML_Key_textColor = QStringLiteral("color");  // same text as KOVA_XML_Key_color
inline const QString KOVA_XML_Key_textColorOption = QStringLiteral("textcolorOptional");
inline const QString KOVA_XML_Key_textShadow = QStringLiteral("textshadow");
inline const QString KOVA_XML_Key_textShadowOption = QStringLiteral("textshadowOptional");
inline const QString KOVA_XML_Key_offset = QStringLiteral("offset");
inline const QString KOVA_XML_Key_shadowBlur = QStringLiteral("blur");
inline const QString KOVA_XML_Key_border = QStringLiteral("border");
inline const QString KOVA_XML_Key_shadow = QStringLiteral("shadow");
inline const QString KOVA_XML_Key_color = QStringLiteral("color");  // same text as KOVA_XML_Key_textColor
inline const QString KOVA_XML_Key_enabled = QStringLiteral("enabled");
inline const QString KOVA_XML_Key_borderEnabled = QStringLiteral("borderEnabled");
inline const QString KOVA_XML_Key_borderColor = QStringLiteral("bordercolor");
inline const QString KOVA_XML_Key_borderWidth = QStringLiteral("borderWidth");
inline const QString KOVA_XML_Key_borderShadowColor = QStringLiteral("borderShadowColor");
inline const QString KOVA_XML_Key_borderShadowBlur = QStringLiteral("borderShadowBlur");
inline const QString KOVA_XML_Key_borderClipsContent = QStringLiteral("clipsContent");
inline const QString KOVA_XML_Key_background = QStringLiteral("background");
inline const QString KOVA_XML_Key_backgroundColor = QStringLiteral("backgroundcolor");
inline const QString KOVA_XML_Key_backgroundEnabled = QStringLiteral("backgroundEnabled");
inline const QString KOVA_XML_Key_tiffOrientation = QStringLiteral("tiffOrientation");
inline const QString KOVA_XML_Key_gravityResize = QStringLiteral("resize");  // same text as KOVA_XML_Key_resize
inline const QString KOVA_XML_Key_gravityResizeAspect = QStringLiteral("resizeAspect");
inline const QString KOVA_XML_Key_gravityResizeAspectFill = QStringLiteral("resizeAspectFill");
