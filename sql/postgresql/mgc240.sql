-- Tables of the MGC240 analyzer's own database (PostgreSQL 15), used as a stand-in for the
-- analyzer in tests and demonstrations. Only missing tables and indexes are created, nothing is
-- dropped or altered. Identifiers are unquoted and therefore folded to lower case.

-- Sample orders
CREATE TABLE IF NOT EXISTS samp_odr (
    samp_id     VARCHAR(50),
    fdate       TIMESTAMP(0),
    s_rnd_no    INTEGER,
    samp_mode   INTEGER,
    samp_no     INTEGER,
    samp_kind   INTEGER,
    ord_state   INTEGER,
    autorerun   INTEGER,
    samp_state  INTEGER,
    samp_type   INTEGER,
    ctrl_type   INTEGER,
    asp_no      INTEGER,
    asp_date    TIMESTAMP(0),
    ord_total   INTEGER,
    reord_total INTEGER,
    pati_id     VARCHAR(50),
    comment1    VARCHAR(100),
    comment2    VARCHAR(100),
    r_rnd_no    INTEGER,
    profile1    INTEGER,
    profile2    INTEGER,
    profile3    INTEGER,
    profile4    INTEGER,
    profile5    INTEGER,
    profile6    INTEGER,
    profile7    INTEGER,
    profile8    INTEGER,
    profile9    INTEGER,
    profile10   INTEGER,
    barID       VARCHAR(50)
);
CREATE INDEX IF NOT EXISTS ix_samp_odr_samp ON samp_odr (samp_id);

-- Results per sample and test item
CREATE TABLE IF NOT EXISTS samp_dat (
    samp_id      VARCHAR(50),
    fdate        TIMESTAMP(0),
    s_rnd_NO     INTEGER,
    ord_state    INTEGER,
    item_no      INTEGER,
    item_name    VARCHAR(50),
    autorerun    INTEGER,
    dil_ord      INTEGER,
    data_state   INTEGER,
    rst_Date     TIMESTAMP(0),
    p_flag       VARCHAR(10),
    s_flag       VARCHAR(10),
    d_flag       VARCHAR(10),
    od_data      DOUBLE PRECISION,
    conc_data    DOUBLE PRECISION,
    mon_link     INTEGER,
    conc_data_re DOUBLE PRECISION,
    p_flag_re    VARCHAR(10)
);
CREATE INDEX IF NOT EXISTS ix_samp_dat_samp ON samp_dat (samp_id, item_no);

-- Test items known to the analyzer
CREATE TABLE IF NOT EXISTS itempara (
    item_no   INTEGER,
    item_name VARCHAR(50)
);

-- Calibration absorbances (reagent blank and up to six standards)
CREATE TABLE IF NOT EXISTS calib (
    rdate   TIMESTAMP(0),
    item_no INTEGER,
    BLK_OD  DOUBLE PRECISION,
    STD_1OD DOUBLE PRECISION,
    STD_2OD DOUBLE PRECISION,
    STD_3OD DOUBLE PRECISION,
    STD_4OD DOUBLE PRECISION,
    STD_5OD DOUBLE PRECISION,
    STD_6OD DOUBLE PRECISION
);
