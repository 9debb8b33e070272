-- Tables of the MGC240 analyzer's own database (SQLite), used as a stand-in for the analyzer
-- in tests and demonstrations. Only missing tables and indexes are created.

-- Sample orders
CREATE TABLE IF NOT EXISTS samp_odr (
    samp_id     VARCHAR(50),
    fdate       DATETIME,
    s_rnd_no    INT,
    samp_mode   INT,
    samp_no     INT,
    samp_kind   INT,
    ord_state   INT,
    autorerun   INT,
    samp_state  INT,
    samp_type   INT,
    ctrl_type   INT,
    asp_no      INT,
    asp_date    DATETIME,
    ord_total   INT,
    reord_total INT,
    pati_id     VARCHAR(50),
    comment1    VARCHAR(100),
    comment2    VARCHAR(100),
    r_rnd_no    INT,
    profile1    INT,
    profile2    INT,
    profile3    INT,
    profile4    INT,
    profile5    INT,
    profile6    INT,
    profile7    INT,
    profile8    INT,
    profile9    INT,
    profile10   INT,
    barID       VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_samp_odr_samp ON samp_odr (samp_id);

-- Results per sample and test item
CREATE TABLE IF NOT EXISTS samp_dat (
    samp_id      VARCHAR(50),
    fdate        DATETIME,
    s_rnd_NO     INT,
    ord_state    INT,
    item_no      INT,
    item_name    VARCHAR(50),
    autorerun    INT,
    dil_ord      INT,
    data_state   INT,
    rst_Date     DATETIME,
    p_flag       VARCHAR(10),
    s_flag       VARCHAR(10),
    d_flag       VARCHAR(10),
    od_data      FLOAT,
    conc_data    FLOAT,
    mon_link     INT,
    conc_data_re FLOAT,
    p_flag_re    VARCHAR(10)
);
CREATE INDEX IF NOT EXISTS ix_samp_dat_samp ON samp_dat (samp_id, item_no);

-- Test items known to the analyzer
CREATE TABLE IF NOT EXISTS itempara (
    item_no   INT,
    item_name VARCHAR(50)
);

-- Calibration absorbances (reagent blank and up to six standards)
CREATE TABLE IF NOT EXISTS calib (
    rdate   DATETIME,
    item_no INT,
    BLK_OD  FLOAT,
    STD_1OD FLOAT,
    STD_2OD FLOAT,
    STD_3OD FLOAT,
    STD_4OD FLOAT,
    STD_5OD FLOAT,
    STD_6OD FLOAT
);
